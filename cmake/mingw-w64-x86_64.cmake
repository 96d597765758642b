# The 64-bit Windows build of the same sources, tested beside the 32-bit one.
set(MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
