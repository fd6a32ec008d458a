# The same sources for x86-64, for hosts that cannot run 32-bit code: there the tests run
# the 64-bit programs under Wine's 64-bit loader.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
