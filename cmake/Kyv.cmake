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

# kyv_add_script_tests(DIR): every DIR/*.kyv runs through kyvhost, its output compared
# with DIR/NAME.out line by line (the last line holds kyvhost's exit status).
function(kyv_add_script_tests prefix dir)
  file(GLOB scripts ${dir}/*.kyv)
  foreach(script ${scripts})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME ${prefix}.${name}
      COMMAND ${CMAKE_SOURCE_DIR}/tools/kyvhost/run-script-test.sh $<TARGET_FILE:kyvhost> ${script})
  endforeach()
endfunction()
