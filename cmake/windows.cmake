# What the Windows build (mingw-w64 GCC, through cmake/toolchains/mingw-*.cmake) needs beyond the
# Linux one: the checks that keep its output equal to Linux's, and the static drawing libraries made
# by scripts/build-windows-deps, as imported targets.

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR NOT MINGW)
  # An MSVC-ABI compiler makes long double 64 bits wide: the analysis needs the x87's 80.
  message(FATAL_ERROR "The Windows build needs mingw-w64 GCC: configure with "
                      "-DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake (or mingw-x86_64.cmake)")
endif()
if(VORNHALT_SANITIZE OR VORNHALT_TSAN OR VORNHALT_FUZZ)
  message(FATAL_ERROR "The sanitizer and fuzzer builds are Linux builds")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT CMAKE_CXX_FLAGS MATCHES "-mfpmath=sse")
  # x87 arithmetic would round differently from the Linux build and compile out flush-to-zero.
  message(FATAL_ERROR "32-bit Windows needs -msse2 -mfpmath=sse (cmake/toolchains/mingw-i686.cmake sets them)")
endif()

# The native build of the same sources (`make windows` builds it first): a cross build cannot run
# what it builds, so it embeds the editor images that build drew, and its tests compare the Windows
# module's output with what that build's module renders.
set(VORNHALT_NATIVE_BUILD "" CACHE PATH "A native (Linux) build folder of the same sources, already built")
if(NOT EXISTS "${VORNHALT_NATIVE_BUILD}/CMakeCache.txt")
  message(FATAL_ERROR "The Windows build needs a native build of the same sources: build one first and "
                      "configure with -DVORNHALT_NATIVE_BUILD=<its folder> (`make windows` does both)")
endif()

# M_PI and its kin: mingw's math.h shows them under strict ISO C++ only when asked.
add_compile_definitions(_USE_MATH_DEFINES)

# Static libpng, pixman and Cairo from the prefix the toolchain file names; zlib is mingw-w64's own.
find_path(VORNHALT_WIN_PNG_INCLUDE png.h PATHS ${VORNHALT_WINDOWS_DEPS_PREFIX}/include NO_DEFAULT_PATH REQUIRED)
find_path(VORNHALT_WIN_CAIRO_INCLUDE cairo.h PATHS ${VORNHALT_WINDOWS_DEPS_PREFIX}/include/cairo NO_DEFAULT_PATH
          REQUIRED)
foreach(lib png16 pixman-1 cairo)
  string(MAKE_C_IDENTIFIER ${lib} var)
  find_library(VORNHALT_WIN_${var} lib${lib}.a PATHS ${VORNHALT_WINDOWS_DEPS_PREFIX}/lib NO_DEFAULT_PATH REQUIRED)
endforeach()

add_library(VornhaltWindows::png INTERFACE IMPORTED GLOBAL)
set_target_properties(VornhaltWindows::png PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${VORNHALT_WIN_PNG_INCLUDE}
    INTERFACE_LINK_LIBRARIES "${VORNHALT_WIN_png16};z")

# The order a static link needs: Cairo, what it draws with, then the system libraries of its Win32
# surface and fonts; ssp for the _FORTIFY_SOURCE checks Cairo's build adds. CAIRO_WIN32_STATIC_BUILD
# keeps cairo.h from asking for DLL imports.
add_library(VornhaltWindows::cairo INTERFACE IMPORTED GLOBAL)
set_target_properties(VornhaltWindows::cairo PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${VORNHALT_WIN_CAIRO_INCLUDE}
    INTERFACE_COMPILE_DEFINITIONS CAIRO_WIN32_STATIC_BUILD
    INTERFACE_LINK_LIBRARIES "${VORNHALT_WIN_cairo};${VORNHALT_WIN_pixman_1};VornhaltWindows::png;gdi32;msimg32;user32;ssp")
