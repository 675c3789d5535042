# Helpers of Kyv's own build.

# Runtime search paths of the installed files, relative to where each lands, so that an
# installed prefix can be moved as a whole.
file(RELATIVE_PATH KYV_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(KYV_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/kyv)

# kyv_install(TARGET [PLUGIN] [EXPORT SET | NO_EXPORT]): installs TARGET (a library into
# lib/, or lib/kyv/ with PLUGIN; an executable into bin/) and exports it in the CMake
# package as Kyv::<EXPORT_NAME>, in SET (default KyvTargets; the Qt adapter has a set of
# its own, so that only a program that asks for it needs Qt).
function(kyv_install target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PLUGIN;NO_EXPORT" "EXPORT" "")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${KYV_BIN_TO_LIB}")
  elseif(arg_PLUGIN)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN;$ORIGIN/..")
  elseif(NOT type STREQUAL "INTERFACE_LIBRARY")
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  endif()
  if(NOT KYV_INSTALL)
    return()
  endif()
  set(export EXPORT KyvTargets)
  if(arg_EXPORT)
    set(export EXPORT ${arg_EXPORT})
  elseif(arg_NO_EXPORT)
    set(export)
  endif()
  set(library_dir ${CMAKE_INSTALL_LIBDIR})
  if(arg_PLUGIN)
    set(library_dir ${KYV_PLUGIN_INSTALL_DIR})
  endif()
  # The shared libraries are the component Runtime (what the Python wheel takes), their
  # development links (libNAME.so) Development.
  install(TARGETS ${target} ${export}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${library_dir} COMPONENT Runtime NAMELINK_COMPONENT Development)
endfunction()

# kyv_public_headers(TARGET [SUBDIR DIR] HEADERS...): HEADERS (relative to the current
# source folder) are TARGET's public API, included as <kyv/NAME.h> (<kyv/DIR/NAME.h>):
# installed into include/kyv/, and reached in the build tree through one-line forwarding
# headers in the build's include folder.
# The global property KYV_PUBLIC_HEADERS lists them all as included (kyv/NAME.h).
function(kyv_public_headers target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SUBDIR" "")
  set(dest kyv)
  if(arg_SUBDIR)
    set(dest kyv/${arg_SUBDIR})
  endif()
  set(headers)
  foreach(header ${arg_UNPARSED_ARGUMENTS})
    get_filename_component(path ${header} ABSOLUTE)
    get_filename_component(name ${header} NAME)
    file(CONFIGURE OUTPUT ${KYV_GENERATED_INCLUDE_DIR}/${dest}/${name}
      CONTENT "#pragma once\n#include \"${path}\"\n")
    list(APPEND headers ${path})
    set_property(GLOBAL APPEND PROPERTY KYV_PUBLIC_HEADERS ${dest}/${name})
  endforeach()
  get_target_property(type ${target} TYPE)
  set(scope PUBLIC)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  endif()
  target_include_directories(${target} ${scope}
    $<BUILD_INTERFACE:${KYV_GENERATED_INCLUDE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  if(KYV_INSTALL)
    install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dest})
  endif()
endfunction()

# kyv_add_control(TARGET SOURCES... HEADERS HEADERS... [TEST]): a control library in
# lib/kyv/, registered in the build's registration file by kyvreg as soon as it is linked.
# HEADERS are its typed API; programs link it as Kyv::TARGET. Every such control is listed,
# in the order declared, in the global property KYV_CONTROLS (read it with kyv_controls).
# With TEST, a control of the tests: built in the current binary folder and registered in
# the registration file there (kyvregistry.json), neither installed nor listed. The target
# property KYV_REGISTRY_FILE names the file a control is registered in.
function(kyv_add_control target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "TEST" "" "HEADERS")
  add_library(${target} SHARED ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${target} PUBLIC kyvframework)
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>)
  if(arg_TEST)
    set(registry ${CMAKE_CURRENT_BINARY_DIR}/kyvregistry.json)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  else()
    set(registry ${KYV_REGISTRY_FILE})
    add_library(Kyv::${target} ALIAS ${target})
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${KYV_PLUGIN_OUTPUT_DIR})
    kyv_public_headers(${target} ${arg_HEADERS})
    kyv_install(${target} PLUGIN)
    set_property(GLOBAL APPEND PROPERTY KYV_CONTROLS ${target})
  endif()
  set_target_properties(${target} PROPERTIES KYV_REGISTRY_FILE ${registry})
  add_dependencies(${target} kyvreg)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:kyvreg> ${registry} $<TARGET_FILE:${target}>
    COMMENT "Registering ${target}")
endfunction()

# kyv_controls(VAR): VAR is set to every control library kyv_add_control declared, in
# order. The list is whole only once controls/ has been added (it then sets the global
# property KYV_CONTROLS_COMPLETE): asking before is an error.
function(kyv_controls var)
  get_property(complete GLOBAL PROPERTY KYV_CONTROLS_COMPLETE)
  if(NOT complete)
    message(FATAL_ERROR "kyv_controls: the list of controls is not complete yet: "
                        "add_subdirectory(controls) must come before ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  get_property(controls GLOBAL PROPERTY KYV_CONTROLS)
  set(${var} ${controls} PARENT_SCOPE)
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
      COMMAND ${PROJECT_SOURCE_DIR}/tools/kyvhost/run-script-test.sh $<TARGET_FILE:kyvhost> ${script} ${options})
  endforeach()
endfunction()

# kyv_add_options_test(TARGET WORDS...): TARGET answers --help on standard output with exit
# status 0, naming each of WORDS (its options and commands); --version prints
# "TARGET VERSION"; an unknown option is refused on standard error.
function(kyv_add_options_test target)
  string(REPLACE ";" "," words "${ARGN}")
  add_test(NAME ${target}.options
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DNAME=${target}
            -DVERSION=${PROJECT_VERSION} -DWORDS=${words}
            -P ${PROJECT_SOURCE_DIR}/cmake/tests/tool-options.cmake)
endfunction()
