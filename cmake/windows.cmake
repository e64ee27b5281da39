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

# NOTICES.txt in the zip: the notices of what is linked into the .exe besides the lab's own
# code (everything is linked statically): freeglut's, from the source the tree built it from,
# and those of MinGW-w64's runtime (start-up code, winpthreads) and GCC's (libstdc++, libgcc,
# libssp), found from the files the compiler links.
include(cmake/notices.cmake)
set(notices "Ostrel Lab for Windows: ostrel-lab.exe holds, besides the lab's own code (LICENSE.txt), \
the code below, whose licences ask that their notices come with it. Each says where its source can be had.\n")
file(GLOB freeglutNotice ${CMAKE_BINARY_DIR}/freeglut-source/freeglut-*/COPYING)
set(OSTREL_FREEGLUT_NOTICE "${freeglutNotice}" CACHE FILEPATH "freeglut's copyright notice (COPYING in its source), for the zip")
if(NOT EXISTS "${OSTREL_FREEGLUT_NOTICE}")
  message(FATAL_ERROR "freeglut's copyright notice not found: set OSTREL_FREEGLUT_NOTICE to the COPYING of the freeglut linked in")
endif()
get_filename_component(freeglutSource ${OSTREL_FREEGLUT_NOTICE} DIRECTORY)
get_filename_component(freeglutName ${freeglutSource} NAME)
set(freeglutFrom "the freeglut project's release of ${freeglutName}")
if(EXISTS ${freeglutSource}/debian/changelog)
  file(STRINGS ${freeglutSource}/debian/changelog debianLine LIMIT_COUNT 1)
  string(REGEX REPLACE "^([^ ]+) [(]([^)]+)[)].*" "\\1=\\2" debianSource "${debianLine}")
  set(freeglutFrom "Debian's source package ${debianSource} (apt-get source ${debianSource})")
endif()
labNoticeFile(notices "freeglut (${freeglutName}), linked in" "${freeglutFrom}" ${OSTREL_FREEGLUT_NOTICE})
set(runtime)
foreach(part crt2.o libmingw32.a libmingwex.a libwinpthread.a libstdc++.a libgcc.a libgcc_eh.a libssp.a)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${part} OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${file}")
    list(APPEND runtime ${file})
  endif()
endforeach()
labNoticeOf(notices "the compiler's runtime, linked in" ${runtime})
string(REPLACE "\n" "\r\n" notices "${notices}")  # Windows' line ends, for Notepad
file(CONFIGURE OUTPUT packaging/NOTICES.txt CONTENT "\${notices}")

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
