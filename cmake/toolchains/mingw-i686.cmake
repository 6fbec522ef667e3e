# 32-bit Windows (the format hosts most often load VST 2 plug-ins in) with
# mingw-w64. Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake
set(VORNHALT_MINGW_ARCH i686)
set(CMAKE_SYSTEM_PROCESSOR x86)

# Arithmetic in SSE registers, as on x86-64: with the x87 default the
# results carry extended precision, differ from the Linux build, the
# flush-to-zero code is compiled out, and it runs about half as fast.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
