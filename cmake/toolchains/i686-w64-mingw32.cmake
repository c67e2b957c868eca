# 32-bit Windows console programs with Debian's MinGW-w64, run under wine
# (which needs wine32:i386 and a kernel that runs 32-bit programs).
#   cmake -S . -B build/windows --toolchain cmake/toolchains/i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(idstamp_mingw_triplet i686-w64-mingw32)
set(idstamp_wine_names wine)
set(idstamp_wine_paths "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
