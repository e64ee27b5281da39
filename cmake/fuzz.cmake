# The fuzz tree (the fuzz preset): libFuzzer on the TGA reader and its timed run, the one
# test here, which builds only the fuzzer.
set(OSTREL_FUZZ_SECONDS 60 CACHE STRING "How long the fuzz test runs, in seconds")
add_executable(tga-fuzz tests/fuzz_tga.cpp src/texture/tga.cpp)
target_include_directories(tga-fuzz PRIVATE src)
target_compile_options(tga-fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(tga-fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

enable_testing()
include(cmake/build-steps.cmake)
add_test(NAME fuzz COMMAND ${CMAKE_SOURCE_DIR}/tests/run-fuzz $<TARGET_FILE:tga-fuzz> ${OSTREL_FUZZ_SECONDS})
set_tests_properties(fuzz PROPERTIES LABELS fuzz TIMEOUT 900)
labTestsNeed(TARGETS tga-fuzz TESTS fuzz)
labTestsOwnEnvironment()
