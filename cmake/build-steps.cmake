# The builds tests depend on, as CTest fixtures: a test that starts a program names the step
# that builds it, so that ctest alone, in a tree only configured, builds what it runs.
cmake_host_system_information(RESULT labJobs QUERY NUMBER_OF_LOGICAL_CORES)

# labBuildStep(NAME DIR [TARGET...]): a setup test, fixture NAME, building TARGETs in DIR (all
# of it without one). One build at a time in a tree, whatever ctest's -j.
function(labBuildStep name dir)
  set(targets)
  if(ARGN)
    set(targets --target ${ARGN})
  endif()
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} --build ${dir} --parallel ${labJobs} ${targets})
  set_tests_properties(${name} PROPERTIES FIXTURES_SETUP ${name} RESOURCE_LOCK ${dir} TIMEOUT 3600)
endfunction()

# labTestsNeed(TARGETS target... TESTS test...): the tests' own step in this tree.
function(labTestsNeed)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "TARGETS;TESTS")
  list(GET arg_TESTS 0 first)
  string(REGEX REPLACE "[.].*" "" group ${first})  # a GoogleTest case's group is its program
  labBuildStep(build:${group} ${CMAKE_BINARY_DIR} ${arg_TARGETS})
  set_property(TEST ${arg_TESTS} APPEND PROPERTY FIXTURES_REQUIRED build:${group})
endfunction()

# labNativeStep(NAME TARGET... [CONFIGURE option...]): a tree of another kind (the page, the
# Windows build) tested against the native programs: NAME configures the native tree from its
# preset (a configured one keeps its cache but for the options given) and builds TARGETs there.
set(OSTREL_NATIVE_BUILD ${CMAKE_SOURCE_DIR}/build CACHE PATH "The native build the tests compare with")
function(labNativeStep name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "CONFIGURE")
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR} -DBINARY=${OSTREL_NATIVE_BUILD}
    "-DOPTIONS=${arg_CONFIGURE}" "-DTARGETS=${arg_UNPARSED_ARGUMENTS}" -DJOBS=${labJobs}
    -P ${CMAKE_SOURCE_DIR}/cmake/native-step.cmake)
  set_tests_properties(${name} PROPERTIES FIXTURES_SETUP ${name} RESOURCE_LOCK ${OSTREL_NATIVE_BUILD} TIMEOUT 3600)
endfunction()

# The tests' own X server (tools/x/display), a fixture: a test that draws runs its command
# through ${labOnDisplay} and is named to labNeedsDisplay. With or without a display of the
# user's, ctest alone runs them as ./lab test does.
set(labDisplayFile ${CMAKE_BINARY_DIR}/Testing/display)
set(labOnDisplay ${CMAKE_SOURCE_DIR}/tools/x/display run ${labDisplayFile})
function(labNeedsDisplay)
  if(NOT TEST display)
    add_test(NAME display COMMAND ${CMAKE_SOURCE_DIR}/tools/x/display start ${labDisplayFile})
    add_test(NAME display-end COMMAND ${CMAKE_SOURCE_DIR}/tools/x/display stop ${labDisplayFile})
    set_tests_properties(display PROPERTIES FIXTURES_SETUP display)
    set_tests_properties(display-end PROPERTIES FIXTURES_CLEANUP display)
  endif()
  set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED display)
endfunction()

# What a developer's shell holds must not steer the tests: they choose their images themselves.
function(labTestsOwnEnvironment)
  get_property(tests DIRECTORY PROPERTY TESTS)
  set_property(TEST ${tests} APPEND PROPERTY ENVIRONMENT_MODIFICATION OSTREL_LAB_DATA=unset:)
endfunction()
