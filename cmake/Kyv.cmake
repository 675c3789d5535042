# kyv_add_control(TARGET SOURCES...): a control library, registered in the build's
# registration file by kyvreg as soon as it is linked.
function(kyv_add_control target)
  add_library(${target} SHARED ${ARGN})
  target_link_libraries(${target} PUBLIC kyvframework)
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  add_dependencies(${target} kyvreg)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:kyvreg> ${KYV_REGISTRY_FILE} $<TARGET_FILE:${target}>
    COMMENT "Registering ${target}")
endfunction()

# kyv_add_registration(TARGET FILE LIBRARIES...): a registration file of its own that
# holds only LIBRARIES, for tests that need a registry lacking some class or offering a
# stand-in for it. TARGET builds it (and is part of the default build).
function(kyv_add_registration target file)
  set(register)
  foreach(lib ${ARGN})
    list(APPEND register COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:kyvreg> ${file} $<TARGET_FILE:${lib}>)
  endforeach()
  add_custom_command(OUTPUT ${file}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${file}
    ${register}
    DEPENDS kyvreg ${ARGN}
    COMMENT "Writing ${file}")
  add_custom_target(${target} ALL DEPENDS ${file})
endfunction()

# kyv_add_script_tests(PREFIX DIR [REGISTRY FILE]): every DIR/*.kyv runs through kyvhost,
# its output compared with DIR/NAME.out line by line (the last line holds kyvhost's exit
# status). With REGISTRY, kyvhost creates classes through that registration file.
function(kyv_add_script_tests prefix dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "REGISTRY" "")
  set(options)
  if(arg_REGISTRY)
    set(options --registry ${arg_REGISTRY})
  endif()
  file(GLOB scripts ${dir}/*.kyv)
  foreach(script ${scripts})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME ${prefix}.${name}
      COMMAND ${CMAKE_SOURCE_DIR}/tools/kyvhost/run-script-test.sh $<TARGET_FILE:kyvhost> ${script} ${options})
  endforeach()
endfunction()
