# Runs KyvDemo --screenshot and checks that it wrote a PNG of the window.
file(REMOVE ${OUT})
execute_process(COMMAND ${DEMO} --screenshot ${OUT} --start-all --seconds 1
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "KyvDemo --screenshot failed (${status}): ${out} ${err}")
endif()
if(NOT out MATCHES "screenshot written to")
  message(FATAL_ERROR "KyvDemo did not say where the screenshot went: ${out}")
endif()
file(READ ${OUT} header LIMIT 8 HEX)
if(NOT header STREQUAL "89504e470d0a1a0a")
  message(FATAL_ERROR "${OUT} is not a PNG")
endif()
