# Cross-building for 64-bit Windows on Debian or Ubuntu with MinGW-w64 (g++-mingw-w64-x86-64-posix):
# the lab with the windows preset, and freeglut for it with the same compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingwTarget x86_64-w64-mingw32)
# Debian's posix thread model by name, whatever the alternatives point to: its libstdc++ has
# std::mutex, which GoogleTest needs (the win32 one only from GCC 13). Elsewhere the plain names.
find_program(mingwGcc NAMES ${mingwTarget}-gcc-posix ${mingwTarget}-gcc)
find_program(mingwGxx NAMES ${mingwTarget}-g++-posix ${mingwTarget}-g++)
set(CMAKE_C_COMPILER ${mingwGcc})
set(CMAKE_CXX_COMPILER ${mingwGxx})
set(CMAKE_RC_COMPILER ${mingwTarget}-windres)
# Libraries and headers only from MinGW's own tree (Windows' opengl32 and glu32 among
# them), never the build machine's; packages also from the prefixes given (freeglut's).
set(CMAKE_FIND_ROOT_PATH /usr/${mingwTarget})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
