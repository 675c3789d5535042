# cmake -DPROGRAM=FILE -DNAME=NAME -DVERSION=X.Y.Z -DWORDS=a,b,c -P tool-options.cmake
# Checks a tool's command-line conventions: --help prints its usage on standard output,
# naming every word of WORDS, and exits 0; --version prints "NAME VERSION" and exits 0; an
# unknown option is refused with a message on standard error and a non-zero exit status.
set(ENV{QT_QPA_PLATFORM} offscreen)

execute_process(COMMAND ${PROGRAM} --help
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NAME} --help exits with ${status}: ${err}")
endif()
if(NOT out MATCHES "^usage: ${NAME} ")
  message(FATAL_ERROR "${NAME} --help does not start with its usage line:\n${out}")
endif()
string(REPLACE "," ";" words "${WORDS}")
foreach(word IN LISTS words)
  string(FIND "${out}" "${word}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${NAME} --help does not mention ${word}:\n${out}")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --version
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out STREQUAL "${NAME} ${VERSION}\n")
  message(FATAL_ERROR "${NAME} --version gives \"${out}\" (exit ${status}), expected \"${NAME} ${VERSION}\"")
endif()

execute_process(COMMAND ${PROGRAM} --no-such-option
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(status EQUAL 0 OR err STREQUAL "" OR NOT out STREQUAL "")
  message(FATAL_ERROR "${NAME} --no-such-option: exit ${status}, stdout \"${out}\", stderr \"${err}\"")
endif()
