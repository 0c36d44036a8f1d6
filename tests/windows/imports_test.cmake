# The programs' import tables, read with objdump:
#
#   cmake -DOBJDUMP=<objdump> -DPROGRAMS=<a.exe,b.exe,...> -P imports_test.cmake
#
# No program imports a function in its A form from the system libraries that
# take text: an A form reads and writes text in the code page of the system
# (before Windows 10 1903, whatever the program's manifest asks), where the
# programs' text is UTF-8. Every function whose name ends in A counts, whether
# or not its text is used: the W form serves as well and leaves nothing to
# judge. And no program imports a function newer than the oldest Windows the
# installer takes (Windows 10, version 1507): Windows would refuse to start it.

cmake_minimum_required(VERSION 3.25)

set(text_libraries ADVAPI32.DLL COMCTL32.DLL COMDLG32.DLL GDI32.DLL KERNEL32.DLL SHELL32.DLL
    USER32.DLL)

# Functions of Windows 10 version 1607 and later that a program of the desktop
# is likely to call: the DPI functions.
set(newer_than_1507
    USER32.DLL:AdjustWindowRectExForDpi USER32.DLL:AreDpiAwarenessContextsEqual
    USER32.DLL:EnableNonClientDpiScaling USER32.DLL:GetDpiForSystem USER32.DLL:GetDpiForWindow
    USER32.DLL:GetDpiFromDpiAwarenessContext USER32.DLL:GetSystemDpiForProcess
    USER32.DLL:GetSystemMetricsForDpi USER32.DLL:GetThreadDpiAwarenessContext
    USER32.DLL:GetWindowDpiAwarenessContext USER32.DLL:SetProcessDpiAwarenessContext
    USER32.DLL:SetThreadDpiAwarenessContext USER32.DLL:SystemParametersInfoForDpi)

string(REPLACE "," ";" programs "${PROGRAMS}")
set(failures "")
foreach(program IN LISTS programs)
    get_filename_component(name ${program} NAME)
    execute_process(COMMAND ${OBJDUMP} -p ${program} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        string(APPEND failures "${name}: objdump failed (${rc})\n")
        continue()
    endif()
    # "\tDLL Name: KERNEL32.dll", then a line per function: "\t<rva>\t <hint> <name>".
    string(REPLACE ";" "," dump "${dump}")
    string(REPLACE "\n" ";" lines "${dump}")
    set(library "")
    set(imports "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^\tDLL Name: (.+)$")
            string(TOUPPER "${CMAKE_MATCH_1}" library)
        elseif(library AND line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +([A-Za-z0-9_]+)$")
            list(APPEND imports "${library}:${CMAKE_MATCH_1}")
        elseif(line MATCHES "^[^\t]")
            set(library "")
        endif()
    endforeach()
    set(from_kernel32 ${imports})
    list(FILTER from_kernel32 INCLUDE REGEX "^KERNEL32[.]DLL:")
    if(NOT from_kernel32)
        string(APPEND failures "${name}: no import table read\n")
        continue()
    endif()
    foreach(import IN LISTS imports)
        string(REGEX MATCH "^([^:]+):(.+)$" parts "${import}")
        if(CMAKE_MATCH_1 IN_LIST text_libraries AND CMAKE_MATCH_2 MATCHES "A$")
            string(APPEND failures "${name} imports the A form ${import}\n")
        elseif(import IN_LIST newer_than_1507)
            string(APPEND failures "${name} imports ${import}, newer than Windows 10 1507\n")
        endif()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "${failures}")
endif()
list(LENGTH programs count)
message(STATUS "${count} programs: no A forms and nothing newer than Windows 10 1507 imported")
