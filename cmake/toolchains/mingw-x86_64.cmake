# 64-bit Windows with mingw-w64.
# Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
set(VORNHALT_MINGW_ARCH x86_64)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
