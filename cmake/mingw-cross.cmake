# Cross-compiles the Windows programs with MinGW-w64 on a Linux host, for the processor that
# the including toolchain file sets (i686: the product; x86_64: the same sources for hosts
# that cannot run 32-bit code). The POSIX-threads variants are used because the
# win32-threads ones lack std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(_vesk_mingw ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${_vesk_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_vesk_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_vesk_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_vesk_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine; the caller sets WINEPREFIX and DISPLAY (and, for x86-64,
# puts a "wine" that calls the 64-bit loader first on PATH).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
