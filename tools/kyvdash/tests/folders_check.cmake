# Builds each folder probe: each must fail because the header of the folder above its own
# is not found. Run by ctest (kyvdash.folders).
foreach(probe ${PROBES})
  string(REPLACE "|" ";" parts "${probe}")
  list(GET parts 0 folder)
  list(GET parts 1 header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target kyvdash_probe_${folder}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(result EQUAL 0)
    message(FATAL_ERROR "${folder}: compiled with ${header}, a header of a folder above it")
  elseif(NOT out MATCHES "${header}: No such file")
    message(FATAL_ERROR "${folder}: failed, but not for want of ${header}:\n${out}")
  endif()
  message(STATUS "${folder}: cannot include ${header}, as it should be")
endforeach()
