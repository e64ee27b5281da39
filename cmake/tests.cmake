# The tests: GoogleTest, Mesa in a real GLUT window, the program driven through X, the
# package installed and unpacked, ./lab itself. Those that draw run on the tests' own X server.
# Each test's group is its label; each names the build step of the programs it starts.
enable_testing()
include(cmake/build-steps.cmake)

add_test(NAME layers COMMAND ${CMAKE_SOURCE_DIR}/tests/check-layers ${CMAKE_SOURCE_DIR})
include(GoogleTest)

add_executable(tga-tests tests/tga_test.cpp tests/tga_hostile_test.cpp)
target_link_libraries(tga-tests PRIVATE ostrel-tga GTest::gtest_main)
# Each case a ctest test of its own, named under its program: tga-tests.Suite.Case. Read
# from the sources, so that ctest knows them before the program is built.
gtest_add_tests(TARGET tga-tests TEST_PREFIX tga-tests. WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} TEST_LIST tgaCases)
set_tests_properties(${tgaCases} PROPERTIES ENVIRONMENT "OSTREL_BUILD=${CMAKE_BINARY_DIR}")
labTestsNeed(TARGETS tga-tests TESTS ${tgaCases})

add_executable(gl-tests tests/gl_test.cpp tests/geometry_test.cpp tests/camera_test.cpp tests/lab_gl.cpp)
target_compile_definitions(gl-tests PRIVATE OSTREL_SOURCE="${CMAKE_SOURCE_DIR}")
target_link_libraries(gl-tests PRIVATE ostrel xgrab gl-probe GTest::gtest)
add_test(NAME gl-tests COMMAND ${labOnDisplay} $<TARGET_FILE:gl-tests> WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
labTestsNeed(TARGETS gl-tests TESTS gl-tests)

# Draws the lab and the menu's font in its own GLUT window too, to compare with the program's.
add_executable(e2e-tests tests/e2e_test.cpp tests/lab_gl.cpp tests/lab_process.cpp)
target_link_libraries(e2e-tests PRIVATE ostrel gl-probe X11::Xtst GTest::gtest_main)
target_compile_definitions(e2e-tests PRIVATE OSTREL_BINARY="$<TARGET_FILE:ostrel-lab>"
  OSTREL_SOURCE="${CMAKE_SOURCE_DIR}" MAKE_IMAGES="$<TARGET_FILE:make-images>" LAB_SHOT="$<TARGET_FILE:lab-shot>")
add_test(NAME e2e-tests COMMAND ${labOnDisplay} $<TARGET_FILE:e2e-tests> WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
labTestsNeed(TARGETS e2e-tests TESTS e2e-tests)
# What each test program starts, built with it: building the test's target is enough.
add_dependencies(e2e-tests ostrel-lab make-images lab-shot)
add_dependencies(tga-tests make-images)
set_tests_properties(e2e-tests PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)

# The lab installed and packaged: cpack makes the .deb first, the tests then install,
# unpack and start it. Left out of the sanitizer build, whose binary is no package's.
if(NOT OSTREL_SANITIZE)
  # The name cpack gives the package, with dpkg's name for this machine's architecture.
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE debArch
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE noDpkg)
  if(noDpkg)
    set(debArch ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  set(OSTREL_DEB ${CMAKE_BINARY_DIR}/ostrel-lab_${PROJECT_VERSION}_${debArch}.deb)
  add_test(NAME deb COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(deb PROPERTIES FIXTURES_SETUP deb)
  labTestsNeed(TESTS deb)  # the whole tree: cpack installs all of it

  add_executable(install-tests tests/install_test.cpp tests/lab_process.cpp)
  target_link_libraries(install-tests PRIVATE xgrab ostrel-tga GTest::gtest_main)
  target_compile_definitions(install-tests PRIVATE OSTREL_BINARY="$<TARGET_FILE:ostrel-lab>"
    OSTREL_SOURCE="${CMAKE_SOURCE_DIR}" OSTREL_BUILD="${CMAKE_BINARY_DIR}" OSTREL_DEB="${OSTREL_DEB}"
    OSTREL_VERSION="${PROJECT_VERSION}" CMAKE_COMMAND="${CMAKE_COMMAND}")
  add_test(NAME install-tests COMMAND ${labOnDisplay} $<TARGET_FILE:install-tests> WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(install-tests PROPERTIES FIXTURES_REQUIRED deb TIMEOUT 600 RUN_SERIAL TRUE)
  labTestsNeed(TARGETS install-tests TESTS install-tests)

  # The Windows zip run under Wine against this build: a test of the Windows tree
  # (cmake/windows-tests.cmake), which builds this program here, naming itself.
  set(OSTREL_WINDOWS_BUILD ${CMAKE_SOURCE_DIR}/build-windows CACHE PATH "The Windows build whose zip windows-tests runs")
  find_program(OSTREL_WINE wine)
  if(NOT OSTREL_WINE)
    set(OSTREL_WINE /usr/bin/wine)  # where Debian's wine puts it: windows-tests then says it is missing
  endif()
  add_executable(windows-tests tests/windows_test.cpp tests/lab_process.cpp)
  target_link_libraries(windows-tests PRIVATE xgrab GTest::gtest_main)
  target_include_directories(windows-tests PRIVATE src)  # the lab's image table, scene/images.h
  target_compile_definitions(windows-tests PRIVATE OSTREL_BINARY="$<TARGET_FILE:ostrel-lab>" LAB_SHOT="$<TARGET_FILE:lab-shot>"
    LAB_POSE="$<TARGET_FILE:lab-pose>" WINDOWS_BUILD="${OSTREL_WINDOWS_BUILD}" OSTREL_VERSION="${PROJECT_VERSION}"
    OSTREL_SOURCE="${CMAKE_SOURCE_DIR}" WINE="${OSTREL_WINE}")
  add_dependencies(windows-tests ostrel-lab lab-shot lab-pose)

  add_test(NAME lintian COMMAND lintian --fail-on error ${OSTREL_DEB})
  set_tests_properties(lintian PROPERTIES FIXTURES_REQUIRED deb)

  # ./lab itself, on a copy of the source tree that builds only its program and tools.
  add_test(NAME lab-commands COMMAND ${CMAKE_SOURCE_DIR}/tests/lab-commands ${CMAKE_SOURCE_DIR})
  set_tests_properties(lab-commands PROPERTIES TIMEOUT 900 RUN_SERIAL TRUE)

  # The plain CMake build, elsewhere, without GoogleTest or freeglut.
  add_test(NAME plain-build COMMAND ${labOnDisplay} ${CMAKE_SOURCE_DIR}/tests/plain-build ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(plain-build PROPERTIES TIMEOUT 900 RUN_SERIAL TRUE)
  labTestsNeed(TARGETS lab-shot ostrel-lab TESTS plain-build)

  # Software centres' view of the lab: a menu entry with nothing to say against it (hints
  # included), metadata that validates without the network.
  add_test(NAME desktop-entry COMMAND desktop-file-validate ${CMAKE_SOURCE_DIR}/packaging/ostrel-lab.desktop)
  set_tests_properties(desktop-entry PROPERTIES FAIL_REGULAR_EXPRESSION ".")
  add_test(NAME metainfo COMMAND appstreamcli validate --no-net
    ${CMAKE_SOURCE_DIR}/packaging/${OSTREL_APP_ID}.metainfo.xml)
endif()

# A short soak of the real frame: nothing made after the first frame. Under the
# sanitizers it runs 1,000 frames and LeakSanitizer checks what is left at exit.
if(OSTREL_SANITIZE)
  set(SOAK_FRAMES 1000)
else()
  set(SOAK_FRAMES 300)
endif()
# One texture per shipped image: data/*.tga, the files installed (cmake/package.cmake), which
# tga-tests holds to be the lab's image table.
list(LENGTH labImages labImageCount)
add_test(NAME bench-counts COMMAND ${labOnDisplay} $<TARGET_FILE:lab-bench> --frames ${SOAK_FRAMES} --orbit WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(bench-counts PROPERTIES
  PASS_REGULAR_EXPRESSION "\"frames\": ${SOAK_FRAMES}, .*\"textures\": ${labImageCount}, \"menus\": 5, \"quadrics\": 1,"
  FAIL_REGULAR_EXPRESSION "LeakSanitizer|AddressSanitizer|runtime error")
labTestsNeed(TARGETS lab-bench TESTS bench-counts)

# ---- the browser build's portable parts (solids, image scaling), held natively against freeglut and GLU
add_executable(web-native-tests tests/web_native_test.cpp src/web/solids.cpp src/web/scale.cpp)
target_link_libraries(web-native-tests PRIVATE ostrel GTest::gtest)
add_test(NAME web-native-tests COMMAND ${labOnDisplay} $<TARGET_FILE:web-native-tests> WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
labTestsNeed(TARGETS web-native-tests TESTS web-native-tests)

# The browser build's GL layer on its own, the page's calls caught: what each frame hands over
add_executable(web-gl-tests tests/web_gl_test.cpp src/web/gl.cpp src/web/meshes.cpp src/web/solids.cpp)
target_include_directories(web-gl-tests BEFORE PRIVATE src/web/include src)
target_link_libraries(web-gl-tests PRIVATE GTest::gtest_main)
add_test(NAME web-gl-tests COMMAND web-gl-tests)
labTestsNeed(TARGETS web-gl-tests TESTS web-gl-tests)

# ---- what a student changing the lab meets: the ImageMagick commands the texts give, run as
# written and read back with the lab's reader; the compiler's check of the tables they edit
add_test(NAME image-recipes COMMAND ${CMAKE_SOURCE_DIR}/tests/image-recipes ${CMAKE_SOURCE_DIR} $<TARGET_FILE:tga-to-ppm>)
labTestsNeed(TARGETS tga-to-ppm TESTS image-recipes)
add_test(NAME table-bounds COMMAND ${CMAKE_SOURCE_DIR}/tests/table-bounds ${CMAKE_SOURCE_DIR} ${CMAKE_CXX_COMPILER})

labNeedsDisplay(gl-tests e2e-tests bench-counts web-native-tests)
if(NOT OSTREL_SANITIZE)
  labNeedsDisplay(install-tests plain-build)
endif()

# Each test's label is its group, the name before its first dot: ctest -L e2e-tests. The X
# server's fixture belongs to none: ctest adds it to whatever needs it.
get_property(labTests DIRECTORY PROPERTY TESTS)
list(FILTER labTests EXCLUDE REGEX "^display")
foreach(test ${labTests})
  string(REGEX REPLACE "^build:|[.].*" "" group ${test})
  set_property(TEST ${test} PROPERTY LABELS ${group})
endforeach()

# Under the sanitizers, LeakSanitizer reports at exit. Mesa's driver is preloaded so that it
# stays mapped then and the stacks name it, as the suppressions match it by library: in Mesa
# 25 swrast_dri.so is a loader and the driver is libgallium; before, swrast_dri.so itself.
# The target's own architecture: beside Wine, another's Mesa is often installed too.
if(OSTREL_SANITIZE)
  set(mesaLibraries /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
  file(GLOB mesaDriver ${mesaLibraries}/libgallium-*.so)
  if(NOT mesaDriver)
    file(GLOB mesaDriver ${mesaLibraries}/dri/swrast_dri.so)
  endif()
  set(sanitizerEnvironment ASAN_OPTIONS=detect_leaks=1
    "LSAN_OPTIONS=suppressions='${CMAKE_SOURCE_DIR}/tests/lsan.supp':print_suppressions=0")
  if(mesaDriver)
    list(GET mesaDriver 0 mesaDriver)
    list(APPEND sanitizerEnvironment LD_PRELOAD=${mesaDriver})
  else()
    message(WARNING "Mesa's driver (libgallium-*.so, dri/swrast_dri.so) is not in ${mesaLibraries}/: "
      "LeakSanitizer's stacks may then name no library, and its suppressions not match")
  endif()
  foreach(test ${labTests})
    if(NOT test MATCHES "^build:")
      set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT ${sanitizerEnvironment})
    endif()
  endforeach()
endif()
labTestsOwnEnvironment()
