# The browser build's toolchain (the web preset): emscripten's own, found through the emcc on
# PATH as emcmake would give it, so that a plain cmake --preset web configures the tree.
find_program(OSTREL_EMCC emcc)
if(NOT OSTREL_EMCC)
  message(FATAL_ERROR "emscripten's emcc not found: the web preset builds with it (Debian/Ubuntu: emscripten)")
endif()
# Debian's emcc is a link to a wrapper in emscripten's own folder, as emsdk's emcc is in it.
file(REAL_PATH ${OSTREL_EMCC} emcc)
get_filename_component(emscriptenRoot ${emcc} DIRECTORY)
include(${emscriptenRoot}/cmake/Modules/Platform/Emscripten.cmake)
# Debian's emscripten finds its JavaScript modules there, where only Debian's node looks; the
# link runs them, whichever node runs it.
if(IS_DIRECTORY /usr/share/nodejs)
  set(ENV{NODE_PATH} /usr/share/nodejs)
  set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
endif()
