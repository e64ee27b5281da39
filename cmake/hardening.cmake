# The program built as Debian builds its own packages, and the same bytes from any folder.
# Hardening: the flags dpkg-buildflags gives with every feature on (stack protector,
# _FORTIFY_SOURCE, relro and immediate binding; PIE is the compiler's default), asked at
# configure time for the architecture built; then stack clash and control-flow protection,
# which Debian 13's gives and Debian 12's does not. Without dpkg-buildflags, the same list.
# Each flag added is kept where the compiler takes it. The linker marks the program for
# control-flow protection only where the C library's start files are marked too, which
# Debian's (12 and 13) are not; claiming it by hand (-z ibt) would be false of their _init. The sanitizer and fuzz trees keep their own flags; the browser build,
# reproducible as it is, has none of these to take.
include(CheckCXXCompilerFlag)
if(EMSCRIPTEN OR OSTREL_SANITIZE)
  return()
endif()

# The folders' own paths become fixed names in debug information, __FILE__ and build IDs.
# GCC takes the last map that matches first, so the build folder, which may sit inside
# the source folder, comes second.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)

# Windows: the stack protector and _FORTIFY_SOURCE as MinGW-w64 has them (its libssp, linked
# in whole as the rest is); ASLR and DEP are set in the PE header by binutils' defaults.
if(WIN32)
  if(MINGW)
    add_compile_options(-fstack-protector-strong $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
    add_link_options(-fstack-protector-strong -Wl,--no-insert-timestamp)  # no link time in the PE header
  endif()
  return()
endif()

# Debian's name for the architecture built (arm64 when cross-compiling with its toolchain):
# dpkg-buildflags' flags and the package's name depend on it.
set(OSTREL_DEB_ARCH "" CACHE STRING "Debian's name for the architecture built (found by dpkg-architecture when empty)")
if(NOT OSTREL_DEB_ARCH)
  find_program(DPKG_ARCHITECTURE dpkg-architecture)
  if(DPKG_ARCHITECTURE AND CMAKE_LIBRARY_ARCHITECTURE)
    execute_process(COMMAND ${DPKG_ARCHITECTURE} -qDEB_HOST_ARCH -t${CMAKE_LIBRARY_ARCHITECTURE}
      OUTPUT_VARIABLE OSTREL_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()

set(hardeningCompile)
set(hardeningLink)
set(hardeningChecked)  # flags to keep only where the compiler takes them
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS)
  set(buildflagsEnv DEB_BUILD_MAINT_OPTIONS=hardening=+all)
  if(OSTREL_DEB_ARCH)
    list(APPEND buildflagsEnv DEB_HOST_ARCH=${OSTREL_DEB_ARCH})
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ${buildflagsEnv} ${DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # The build type chooses optimisation and debug information; the folder map is above.
    list(FILTER flags EXCLUDE REGEX "^-(g|O.*|ffile-prefix-map=.*|fdebug-prefix-map=.*)$")
    if(kind STREQUAL LDFLAGS)
      list(APPEND hardeningLink ${flags})
    else()
      list(APPEND hardeningCompile ${flags})
    endif()
  endforeach()
else()
  list(APPEND hardeningChecked -fstack-protector-strong -Wformat -Werror=format-security -D_FORTIFY_SOURCE=2)
  set(hardeningLink -Wl,-z,relro -Wl,-z,now)
endif()
# What Debian 13's dpkg-buildflags gives beyond Debian 12's, by architecture.
list(APPEND hardeningChecked -fstack-clash-protection)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  list(APPEND hardeningChecked -fcf-protection)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  list(APPEND hardeningChecked -mbranch-protection=standard)
endif()
foreach(flag ${hardeningChecked})
  if(NOT flag IN_LIST hardeningCompile)
    string(MAKE_C_IDENTIFIER "compilerTakes${flag}" takes)
    check_cxx_compiler_flag(${flag} ${takes})
    if(${takes})
      list(APPEND hardeningCompile ${flag})
    endif()
  endif()
endforeach()
# _FORTIFY_SOURCE needs the optimiser: a Debug build would only be warned at each file.
list(TRANSFORM hardeningCompile REPLACE "^(-D_FORTIFY_SOURCE=.*)$" "$<$<NOT:$<CONFIG:Debug>>:\\1>")
add_compile_options(${hardeningCompile})
add_link_options(${hardeningLink})
