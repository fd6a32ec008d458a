# Cross-compiles the Windows programs for x86-64 with MinGW-w64 on a Linux host: the same
# sources as the 32-bit product, for hosts that cannot run 32-bit code, where the tests run
# the 64-bit programs under Wine's 64-bit loader. POSIX threads as in the 32-bit build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine; the caller sets WINEPREFIX and DISPLAY, and puts a "wine"
# that calls the 64-bit loader first on PATH.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
