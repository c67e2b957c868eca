# 32-bit Windows console programs with Debian's MinGW-w64 (the -posix
# compilers, whose C++ runtime has std::thread and friends), run under wine.
#   cmake -S . -B build/windows --toolchain cmake/toolchains/i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A 64-bit time_t, and every runtime linked in, so that only system DLLs
# are imported.
set(CMAKE_C_FLAGS_INIT "-D__MINGW_USE_VC2005_COMPAT")
set(CMAKE_CXX_FLAGS_INIT "-D__MINGW_USE_VC2005_COMPAT")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(WINE wine)
if(WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE})
endif()
