# Cross-building for 64-bit ARM (Raspberry Pi OS, Debian's arm64) on Debian with its own cross
# toolchain (crossbuild-essential-arm64) and the arm64 -dev packages installed through multiarch
# (dpkg --add-architecture arm64): freeglut3-dev:arm64 libglu1-mesa-dev:arm64 libgl1-mesa-dev:arm64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The arm64 libraries live beside the build machine's, in /usr/lib/aarch64-linux-gnu: CMake
# searches there for this architecture; programs are the build machine's own.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# pkg-config (which FindGLUT asks first) reads the arm64 modules alone.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# The arm64 program runs here under qemu-user, its libraries found through multiarch.
find_program(QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64)
if(QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_AARCH64})
endif()
