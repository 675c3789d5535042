# Runs KyvDemo --soak for two seconds with every feed at 1 ms: it reports at the start,
# after each second and at the end, every control answers, and it exits with 0. A soak of
# 0 seconds is refused with the usage and exit status 2.
execute_process(COMMAND ${DEMO} --soak 2 --interval 1 --report 1
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "KyvDemo --soak failed (${status}): ${out} ${err}")
endif()
string(REGEX MATCHALL "soak +[0-9.]+ s  rss +[0-9]+ KiB  ticks +[0-9]+  status: \n" reports "${out}")
list(LENGTH reports count)
if(count LESS 3)
  message(FATAL_ERROR "KyvDemo --soak gave ${count} report lines with a figure and an empty status line: ${out}")
endif()
string(REGEX MATCHALL " answers: " answers "${out}")
list(LENGTH answers count)
if(NOT count EQUAL 6 OR NOT out MATCHES "soak passed: no error in the status line, every control answers\n$")
  message(FATAL_ERROR "KyvDemo --soak did not end with six answers and its verdict: ${out}")
endif()

execute_process(COMMAND ${DEMO} --soak 0
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT status EQUAL 2 OR NOT err MATCHES "--soak takes a whole number from 1 to 86400\nusage: KyvDemo")
  message(FATAL_ERROR "KyvDemo --soak 0 was not refused (${status}): ${out} ${err}")
endif()
