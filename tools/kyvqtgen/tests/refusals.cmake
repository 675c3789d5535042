# kyvqtgen refuses, with exit status 1, a message that says why and no output written: a
# library the registration file does not hold, a binding template without its line
# "@WIDGETS@", and one widget for a family whose classes disagree. The family's twins share
# one base in the binding, and a control of the tests gets its own widget there.
# Run with -DPROGRAM=kyvqtgen -DREGISTRY=FILE -DDISAGREEING=FILE -DSAMPLE=FILE -DCASES=DIR
# -DWORK=DIR.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_refusal name registry libraries message)
  set(output ${WORK}/${name})
  execute_process(COMMAND ${PROGRAM} --registry ${registry} --libraries ${libraries} ${ARGN}
    RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "${name}: exit status ${status}, not 1")
  endif()
  if(NOT error MATCHES "${message}")
    message(FATAL_ERROR "${name}: the message does not say \"${message}\": ${error}")
  endif()
  if(EXISTS ${output})
    message(FATAL_ERROR "${name}: ${output} was written")
  endif()
endfunction()

# The binding of LIBRARIES from REGISTRY, read into VAR.
function(binding var registry libraries)
  set(output ${WORK}/${libraries}.sip)
  execute_process(COMMAND ${PROGRAM} --registry ${registry} --libraries ${libraries}
                          --sip ${CASES}/widgets.sip.in ${output}
    RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${libraries}: exit status ${status} ${error}")
  endif()
  file(READ ${output} written)
  set(${var} "${written}" PARENT_SCOPE)
endfunction()

expect_refusal(unknown ${REGISTRY} KyvNone "holds no library KyvNone" --widgets ${WORK}/unknown)
expect_refusal(unmarked.sip ${REGISTRY} KyvVStatus "must have one line \"@WIDGETS@\", not 0"
  --sip ${CASES}/unmarked.sip.in ${WORK}/unmarked.sip)
expect_refusal(disagreeing ${DISAGREEING} "KyvProbeDigit,Kyv4Digit"
  "disagree: property 2 of Kyv1Digit.sseg is BackColor \\(QColor, not stored\\), of Kyv4Digit.fourseg BackColor \\(QColor, stored\\)"
  --widgets ${WORK}/disagreeing)

binding(twins ${REGISTRY} "KyvVStatus,KyvHStatus")
if(NOT twins MATCHES "class StatusBarWidget : public kyvqt::TypedWidget\n[^}]*    void setMaxlimit\\(int value\\);\n    void resetMaxlimit\\(\\);"
   OR NOT twins MATCHES "class HstatWidget : public kyvqt::StatusBarWidget\n")
  message(FATAL_ERROR "the twins do not share StatusBarWidget:\n${twins}")
endif()
binding(sample ${SAMPLE} KyvSample)
if(NOT sample MATCHES "class LampWidget : public kyvqt::TypedWidget\n[^}]*    bool Switch\\(int On\\);")
  message(FATAL_ERROR "the control of the tests has no widget of its own:\n${sample}")
endif()
