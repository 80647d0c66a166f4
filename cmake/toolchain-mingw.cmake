# Cross-builds the Windows program on Debian with MinGW-w64. For i686 (PE32) by default: the one .exe that 32-bit and
# 64-bit Windows both run, from Windows XP SP3 on.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw.cmake
# -DMINGW_TRIPLET=x86_64-w64-mingw32 builds the same sources for x86-64, for the tests only: on a machine whose
# kernel runs no 32-bit code, Wine cannot run the 32-bit program, and the Wine cases run that build instead
# (tools/build-windows.sh --arch x86-64).
# The -win32 compilers use Windows' own threads for the C++ runtime. The -posix ones link winpthreads, which imports
# GetTickCount64 from KERNEL32, and Windows XP's loader refuses a program that imports a function it lacks.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT MINGW_TRIPLET)
    set(MINGW_TRIPLET i686-w64-mingw32)
endif()
# The checks CMake compiles in projects of their own use the same compilers.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_TRIPLET)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${MINGW_TRIPLET})

set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
set(CMAKE_AR ${MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
# Build tools (Python for the roster, cmake itself) come from the host; headers and libraries from the target.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
