# The program and its tools on a desktop system: GL, GLU and freeglut, each named with the
# packages that bring it (Debian and Ubuntu, Fedora, Arch, openSUSE) when it is missing.
if(WIN32)
  # Windows' own opengl32 and glu32, and freeglut linked in whole, as is libstdc++: the
  # program is one .exe that needs no DLL but Windows' own. freeglut's CMake package has
  # the static library (./lab windows builds it so); a freeglut without one is a DLL to
  # put beside the program.
  find_package(OpenGL)
  find_package(FreeGLUT CONFIG QUIET)
  # Cross-built on Debian, freeglut for Windows is built from Debian's source of the native
  # one, once per tree, where the windows preset looks for it.
  set(freeglutBuilt ${CMAKE_BINARY_DIR}/freeglut)
  if(NOT TARGET FreeGLUT::freeglut_static AND CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX
     AND NOT EXISTS ${freeglutBuilt}/lib/cmake/FreeGLUT/FreeGLUTConfig.cmake)
    message(STATUS "Building freeglut for Windows into ${freeglutBuilt}")
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/windows/build-freeglut ${freeglutBuilt} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "freeglut for Windows could not be built (tools/windows/build-freeglut said why above)")
    endif()
  endif()
  if(NOT TARGET FreeGLUT::freeglut_static)
    find_package(FreeGLUT CONFIG QUIET PATHS ${freeglutBuilt} NO_DEFAULT_PATH)
  endif()
  if(TARGET FreeGLUT::freeglut_static)
    set(LAB_GLUT FreeGLUT::freeglut_static)
  else()
    find_package(GLUT)
    set(LAB_GLUT GLUT::GLUT)
  endif()
  set(noGlut "freeglut for Windows not found: cross-built on Debian, the tree builds it into freeglut/ "
    "(MSYS2: pacman -S mingw-w64-x86_64-freeglut)")
  if(MINGW)
    add_link_options(-static)  # winpthread too, which the posix thread model's libstdc++ uses
  endif()
else()
  find_package(OpenGL COMPONENTS OpenGL)
  find_package(GLUT)
  set(LAB_GLUT GLUT::GLUT)
  set(noGlut "freeglut not found: install its headers (Debian/Ubuntu: freeglut3-dev, "
    "Fedora: freeglut-devel, Arch: freeglut, openSUSE: freeglut-devel)")
endif()
if(NOT OPENGL_FOUND)
  message(FATAL_ERROR "OpenGL not found: install its headers (Debian/Ubuntu: libgl1-mesa-dev, "
    "Fedora: mesa-libGL-devel, Arch: libglvnd, openSUSE: Mesa-libGL-devel)")
endif()
if(NOT OPENGL_GLU_FOUND)
  message(FATAL_ERROR "GLU not found: install its headers (Debian/Ubuntu: libglu1-mesa-dev, "
    "Fedora: mesa-libGLU-devel, Arch: glu, openSUSE: glu-devel)")
endif()
if(NOT TARGET ${LAB_GLUT})
  message(FATAL_ERROR ${noGlut})
endif()

# The tests need GoogleTest and X11; without either they are left out, with one message.
# (Windows builds its few from GoogleTest's sources: cmake/windows.cmake.)
if(BUILD_TESTING AND NOT WIN32)
  find_package(GTest)
  find_package(X11)
  if(NOT GTest_FOUND OR NOT X11_Xtst_FOUND)
    message(WARNING "The tests are left out: they need GoogleTest and Xlib with XTest (Debian/Ubuntu: "
      "libgtest-dev libx11-dev libxtst-dev). Configure with -DBUILD_TESTING=OFF to build without them quietly.")
    set(BUILD_TESTING OFF)
  endif()
endif()

# The TGA reader alone: standard library only.
add_library(ostrel-tga STATIC src/texture/tga.cpp)
target_include_directories(ostrel-tga PUBLIC src)

add_library(ostrel STATIC ${LAB_SOURCES})
target_include_directories(ostrel PUBLIC src)
target_link_libraries(ostrel PUBLIC ostrel-tga ${LAB_GLUT} OpenGL::GLU OpenGL::GL)
if(UNIX)
  target_link_libraries(ostrel PUBLIC m)
endif()

add_executable(ostrel-lab src/app/main.cpp)
target_link_libraries(ostrel-lab PRIVATE ostrel)
# The lab's own objects in the program, for the release's hardening check, which reads in
# each the flags it was built with (tools/release/check-hardening); its resources have none.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/lab-objects.txt CONTENT "$<JOIN:$<FILTER:$<TARGET_OBJECTS:ostrel-lab>,EXCLUDE,[.]rc[.]>;$<TARGET_OBJECTS:ostrel>;$<TARGET_OBJECTS:ostrel-tga>,\n>\n")
# On Windows a windowed program: started from the desktop, it opens the lab alone, with no
# console window beside it; what it has to say comes in a box (src/app/messages.cpp).
set_target_properties(ostrel-lab PROPERTIES WIN32_EXECUTABLE ON)
if(MSVC)
  target_link_options(ostrel-lab PRIVATE /ENTRY:mainCRTStartup)  # main, not WinMain
endif()

# A build folder anywhere runs its program as an unpacked one does: the images sit beside
# it in data/, a link to the repository's, so an edited image shows at once.
# Where no link can be made (Windows without the right to make one), a copy.
if(NOT CMAKE_BINARY_DIR STREQUAL CMAKE_SOURCE_DIR)
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/data ${CMAKE_BINARY_DIR}/data SYMBOLIC RESULT noLink)
  if(noLink)
    file(COPY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${CMAKE_BINARY_DIR}/data)
  endif()
endif()

# ---- tools: the image tools a user runs, built always
add_executable(make-images tools/images/make_images.cpp)
target_include_directories(make-images PRIVATE src)  # the lab's image table, scene/images.h
add_executable(tga-to-ppm tools/images/tga_to_ppm.cpp)
target_link_libraries(tga-to-ppm PRIVATE ostrel-tga)

# The X helpers and the benchmarks, for ./lab, the tests and the bench: built with the
# tests, otherwise only when named (./lab run builds lab-shot so).
if(BUILD_TESTING)
  set(helperDefault)
else()
  set(helperDefault EXCLUDE_FROM_ALL)
endif()
find_package(X11)
if(X11_FOUND)
  add_library(xgrab STATIC ${helperDefault} tools/x/xgrab.cpp)
  target_include_directories(xgrab PUBLIC tools/x)
  target_link_libraries(xgrab PUBLIC X11::X11)
  add_library(gl-probe STATIC ${helperDefault} tools/x/gl_probe.cpp)
  target_link_libraries(gl-probe PUBLIC xgrab ${LAB_GLUT} OpenGL::GL)

  # lab-shot asks the X server which process owns a window (X-Resource, libXRes).
  if(X11_XRes_FOUND)
    add_executable(lab-shot ${helperDefault} tools/x/lab_shot.cpp)
    target_link_libraries(lab-shot PRIVATE xgrab X11::XRes)
  else()
    message(STATUS "lab-shot left out: it needs libXRes (Debian/Ubuntu: libxres-dev)")
  endif()
  add_executable(lab-pose ${helperDefault} tools/x/lab_pose.cpp)
  target_link_libraries(lab-pose PRIVATE ostrel gl-probe)
  add_executable(lab-bench ${helperDefault} tools/bench/lab_bench.cpp)
  target_link_libraries(lab-bench PRIVATE ostrel gl-probe)
endif()
add_executable(tga-bench ${helperDefault} tools/bench/tga_bench.cpp)
target_link_libraries(tga-bench PRIVATE ostrel-tga)

