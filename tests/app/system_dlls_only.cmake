# Fails unless the program at PROGRAM imports only DLLs every Windows has: zlib, the C++ runtime
# and the threads library are linked in, so the program runs alone with nothing beside it.
# Usage: cmake -DOBJDUMP=... -DPROGRAM=... -P system_dlls_only.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}" OUTPUT_VARIABLE headers
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "no imports found in ${PROGRAM}: the check reads nothing")
endif()
set(system advapi32 bcrypt comctl32 comdlg32 gdi32 kernel32 msvcrt ole32 oleacc oleaut32 shell32
           shlwapi ucrtbase user32 uxtheme version)
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  string(REGEX REPLACE "\\.dll$" "" name "${dll}")
  if(NOT name IN_LIST system AND NOT name MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${PROGRAM} needs ${dll}, which is not part of Windows")
  endif()
endforeach()
