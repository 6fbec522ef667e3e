# Shared by mingw-i686.cmake and mingw-x86_64.cmake, which set
# VORNHALT_MINGW_ARCH (i686 or x86_64) before including this file.
#
# Builds Windows programs and DLLs with Debian's mingw-w64 GCC and runs them
# (ctest, try_run) under Wine. The caller sets what Wine needs around the
# run (WINEPREFIX, WINEDEBUG, DISPLAY): this file only names the emulator.

set(CMAKE_SYSTEM_NAME Windows)

set(VORNHALT_MINGW_TRIPLE ${VORNHALT_MINGW_ARCH}-w64-mingw32)

# The posix thread model: with the win32 one, std::thread and std::mutex do
# not exist. The -posix names are explicit because the unsuffixed ones
# follow whatever the alternatives system was last told.
set(CMAKE_C_COMPILER ${VORNHALT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORNHALT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORNHALT_MINGW_TRIPLE}-windres)

# The libraries cross-built by scripts/build-windows-deps for this
# architecture (cairo, pixman, libpng; zlib comes from libz-mingw-w64-dev).
# The default follows the script's cache and its "current" link; give
# -DVORNHALT_WINDOWS_DEPS_PREFIX=<what the script printed> to pin one.
if(DEFINED ENV{VORNHALT_WINDOWS_DEPS})
  set(_vornhalt_deps_root "$ENV{VORNHALT_WINDOWS_DEPS}")
else()
  set(_vornhalt_deps_root "$ENV{HOME}/.cache/vornhalt/windows-deps")
endif()
set(VORNHALT_WINDOWS_DEPS_PREFIX "${_vornhalt_deps_root}/${VORNHALT_MINGW_ARCH}/current"
    CACHE PATH "Prefix of the static cairo, pixman and libpng built for ${VORNHALT_MINGW_TRIPLE}")
unset(_vornhalt_deps_root)

# Look for headers and libraries only in the cross world, programs only on
# the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VORNHALT_MINGW_TRIPLE} "${VORNHALT_WINDOWS_DEPS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config, if asked, sees the cross-built .pc files and never the build
# machine's; the mingw system directories are left out of its flags, since
# an explicit -I of them would come before libstdc++'s own wrappers.
set(ENV{PKG_CONFIG_LIBDIR} "${VORNHALT_WINDOWS_DEPS_PREFIX}/lib/pkgconfig:/usr/${VORNHALT_MINGW_TRIPLE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSTEM_INCLUDE_PATH} "/usr/${VORNHALT_MINGW_TRIPLE}/include")
set(ENV{PKG_CONFIG_SYSTEM_LIBRARY_PATH} "/usr/${VORNHALT_MINGW_TRIPLE}/lib")

# Static GCC, libstdc++ and winpthread runtimes: the DLL and the test
# programs then import system DLLs only, and nothing has to be copied next
# to them for a host or for Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
