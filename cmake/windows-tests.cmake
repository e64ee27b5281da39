# The Windows tree's test: its zip unpacked and run under Wine by the native windows-tests
# program, which compares it with the native build's pictures. The steps before it build
# that program (and what it starts) in the native tree, and pack the zip here.
enable_testing()
include(cmake/build-steps.cmake)
labNativeStep(build:native-windows-tests windows-tests CONFIGURE -DBUILD_TESTING=ON
  -DOSTREL_WINDOWS_BUILD=${CMAKE_BINARY_DIR})
add_test(NAME zip COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --parallel ${labJobs} --target package)
set_tests_properties(zip PROPERTIES FIXTURES_SETUP zip RESOURCE_LOCK ${CMAKE_BINARY_DIR} TIMEOUT 3600)
add_test(NAME windows-tests COMMAND ${labOnDisplay} ${OSTREL_NATIVE_BUILD}/windows-tests)
set_tests_properties(windows-tests PROPERTIES LABELS windows-tests TIMEOUT 600 RUN_SERIAL TRUE
  FIXTURES_REQUIRED "build:native-windows-tests;zip")
set_tests_properties(build:native-windows-tests zip PROPERTIES LABELS windows-tests)
labNeedsDisplay(windows-tests)
labTestsOwnEnvironment()
