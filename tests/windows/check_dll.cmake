# Fails unless the DLL exports exactly VSTPluginMain and main and imports
# system DLLs only (a DLL from the toolchain, such as libwinpthread-1.dll or
# libstdc++-6.dll, would have to be shipped beside it).
#   cmake -DOBJDUMP=<arch>-w64-mingw32-objdump -DDLL=vornhalt.dll -P check_dll.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls kernel32.dll user32.dll gdi32.dll msimg32.dll msvcrt.dll advapi32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# The export directory's name table: after its heading, one "[n] name" line per name.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table\n" at)
set(exports "")
if(at GREATER -1)
  math(EXPR at "${at} + 29")
  string(SUBSTRING "${dump}" ${at} -1 table)
  string(REGEX MATCH "^([ \t]*\\[ *[0-9]+\\] [^\n]*\n)*" table "${table}")
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_@]*\n" exports "${table}")
  list(TRANSFORM exports STRIP)
endif()
list(SORT exports)
if(NOT exports STREQUAL "VSTPluginMain;main")
  message(FATAL_ERROR "${DLL} exports [${exports}]; exactly VSTPluginMain and main were expected")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "^DLL Name: " "")
set(foreign "")
foreach(dll ${imports})
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST system_dlls)
    list(APPEND foreign ${dll})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${DLL} imports DLLs that are not part of Windows: ${foreign}")
endif()
message(STATUS "${DLL} exports ${exports} and imports ${imports}")
