# 64-bit Windows console programs with Debian's MinGW-w64, run under wine64.
# Debian keeps its loader off PATH, in /usr/lib/wine; /usr/bin/wine is never
# used, since it picks the 32-bit loader whenever wine32 is installed.
#   cmake -S . -B build/windows64 --toolchain cmake/toolchains/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(idstamp_mingw_triplet x86_64-w64-mingw32)
set(idstamp_wine_names wine64)
set(idstamp_wine_paths /usr/lib/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
