# What the two Windows toolchain files share: Debian's MinGW-w64 -posix
# compilers for `idstamp_mingw_triplet` (whose C++ runtime has std::thread and
# friends), every runtime linked in, and the emulator in IDSTAMP_WINE. Not a
# toolchain file of its own: use i686-w64-mingw32.cmake or
# x86_64-w64-mingw32.cmake.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${idstamp_mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${idstamp_mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${idstamp_mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${idstamp_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A 64-bit time_t in 32-bit builds too, and every runtime linked in, so that
# only system DLLs are imported.
set(CMAKE_C_FLAGS_INIT "-D__MINGW_USE_VC2005_COMPAT")
set(CMAKE_CXX_FLAGS_INIT "-D__MINGW_USE_VC2005_COMPAT")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The emulator that runs this width's programs, for the tests. Whether it
# really runs them is probed at configure time (cmake/EmulatorProbe.cmake).
find_program(IDSTAMP_WINE NAMES ${idstamp_wine_names} PATHS ${idstamp_wine_paths}
             DOC "The emulator that runs this build's Windows programs (wine)")
if(IDSTAMP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${IDSTAMP_WINE})
endif()
