# Cross-compiles Korvane for 64-bit Windows on Linux with Debian's MinGW-w64
# (g++-mingw-w64-x86-64-posix: GCC with posix threads, which std::thread and
# std::mutex need). Use:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake
# Without a Windows build of the toolkit the configure builds the toolkit-free
# programs and their tests (KORVANE_GUI defaults to OFF when cross-compiling).
# Test programs run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVANE_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANE_MINGW_TRIPLET}-windres)

# Libraries and headers come from the MinGW tree only, never from the Linux
# system; programs (code generators, python) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# g++ in strict C++20 mode (no GNU extensions) does not define the WIN32 macro
# that FLTK 1.3's headers test; without it FL/x.H reaches for Xlib.
set(CMAKE_C_FLAGS_INIT "-DWIN32")
set(CMAKE_CXX_FLAGS_INIT "-DWIN32")

# One self-contained .exe: the C and C++ runtimes and winpthread linked in, so
# nothing but system DLLs is needed. The flags live here, in the _INIT
# variables, because a CMAKE_EXE_LINKER_FLAGS given on the command line
# replaces them silently and the program then dies for want of
# libstdc++-6.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows programs built here run on this machine under Wine.
find_program(KORVANE_WINE wine)
if(KORVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_WINE})
endif()
