# kyvqtgen refuses, with exit status 1, a message that says why and no output written: a
# template without a marker, a marker naming a class the registry does not have, and one
# widget for classes whose tables disagree. A template naming twins is written.
# Run with -DPROGRAM=kyvqtgen -DREGISTRY=FILE -DCASES=DIR -DWORK=DIR.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_refusal template message)
  set(output ${WORK}/${template}.h)
  execute_process(COMMAND ${PROGRAM} --registry ${REGISTRY} --header ${CASES}/${template} ${output}
    RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "${template}: exit status ${status}, not 1")
  endif()
  if(NOT error MATCHES "${message}")
    message(FATAL_ERROR "${template}: the message does not say \"${message}\": ${error}")
  endif()
  if(EXISTS ${output})
    message(FATAL_ERROR "${template}: ${output} was written")
  endif()
endfunction()

expect_refusal(unmarked.h.in "has no line \"@PROPERTIES")
expect_refusal(unknown.h.in "KyvNone.Gauge")
expect_refusal(disagreeing.h.in "disagree: property 1 of KyvVStatus.Kyvvstat is BorderStyle \\(int, stored\\), of KyvPulse.HeartBeat HorizCount")

execute_process(COMMAND ${PROGRAM} --registry ${REGISTRY} --sip ${CASES}/twins.sip.in ${WORK}/twins.sip
  RESULT_VARIABLE status ERROR_VARIABLE error)
file(READ ${WORK}/twins.sip written)
if(NOT status EQUAL 0 OR NOT written MATCHES "    void setMaxlimit\\(int value\\);\n    void resetMaxlimit\\(\\);")
  message(FATAL_ERROR "twins.sip.in: exit status ${status} ${error}\n${written}")
endif()
