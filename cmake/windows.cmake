# The Windows program as its users meet it: its icon, version information and manifest from
# one resource file (packaging/ostrel-lab.rc.in) built by windres; and, with the tests, the
# TGA reader's own tests cross-built, for the Linux build's windows-tests to run under Wine.
enable_language(RC)

# The icon is the Debian package's, made an .ico at every size Explorer asks for. On a
# Windows host `convert` is the system's disk converter, so only ImageMagick 7's magick.
if(CMAKE_HOST_WIN32)
  find_program(MAGICK NAMES magick)
else()
  find_program(MAGICK NAMES magick convert)
endif()
if(NOT MAGICK)
  message(FATAL_ERROR "ImageMagick not found: it makes the program's icon (Debian/Ubuntu: imagemagick)")
endif()
set(LAB_ICON ${CMAKE_BINARY_DIR}/packaging/ostrel-lab.ico)
add_custom_command(OUTPUT ${LAB_ICON}
  COMMAND ${MAGICK} ${CMAKE_SOURCE_DIR}/packaging/ostrel-lab.png -define icon:auto-resize=256,48,32,16 ${LAB_ICON}
  DEPENDS packaging/ostrel-lab.png)
configure_file(packaging/ostrel-lab.rc.in packaging/ostrel-lab.rc @ONLY)
target_sources(ostrel-lab PRIVATE ${CMAKE_BINARY_DIR}/packaging/ostrel-lab.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/packaging/ostrel-lab.rc PROPERTIES
  OBJECT_DEPENDS "${LAB_ICON};${CMAKE_SOURCE_DIR}/packaging/ostrel-lab.exe.manifest")

# The reader's tests where Windows' C runtime differs (file modes, a 32-bit long): GoogleTest
# built from the sources Debian's googletest package ships.
if(BUILD_TESTING)
  set(GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources, built for Windows with the tests")
  if(NOT EXISTS ${GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources not found in ${GTEST_SOURCE} (Debian/Ubuntu: googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE} googletest EXCLUDE_FROM_ALL)
  add_executable(tga-tests tests/tga_test.cpp tests/tga_hostile_test.cpp)
  target_link_libraries(tga-tests PRIVATE ostrel-tga gtest_main)
endif()
