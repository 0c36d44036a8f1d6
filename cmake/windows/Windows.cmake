# What the Windows build needs beyond the compiler: the programs' manifest,
# GoogleTest built from source, and Wine to run the tests.

# UTF-8 as the programs' 8-bit code page (Windows 10 1903 and later), for
# what the C runtime reads as 8-bit text and for the A functions the window
# system still calls; everything else converts the program's UTF-8 to UTF-16
# and calls the W forms. Only programs get it; the flags reach them through
# netvigil_options.
# A program with its own manifest says so (NETVIGIL_OWN_MANIFEST).
target_sources(netvigil_options INTERFACE
    "$<$<AND:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>,$<NOT:$<BOOL:$<TARGET_PROPERTY:NETVIGIL_OWN_MANIFEST>>>>:${CMAKE_CURRENT_LIST_DIR}/manifest.rc>")
# netvigil.exe's resources: Netvigil's icon as an .ico of 16 to 256 pixels
# drawn from resources/netvigil.svg, the version, and a manifest that also
# asks for per-monitor DPI awareness and the version-6 common controls.
find_program(NETVIGIL_RSVG rsvg-convert REQUIRED)
find_program(NETVIGIL_CONVERT convert REQUIRED)
function(netvigil_windows_resources target)
    set(dir ${PROJECT_BINARY_DIR}/resources)
    set(svg ${PROJECT_SOURCE_DIR}/resources/netvigil.svg)
    set(pngs)
    set(draw)
    foreach(size 16 20 24 32 40 48 64 128 256)
        list(APPEND pngs ${dir}/netvigil-${size}.png)
        list(APPEND draw COMMAND ${NETVIGIL_RSVG} -w ${size} -h ${size} ${svg}
            -o ${dir}/netvigil-${size}.png)
    endforeach()
    add_custom_command(OUTPUT ${dir}/netvigil.ico
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        ${draw}
        COMMAND ${NETVIGIL_CONVERT} ${pngs} ${dir}/netvigil.ico
        DEPENDS ${svg}
        COMMENT "Drawing netvigil.ico")
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/netvigil.rc.in ${dir}/netvigil.rc @ONLY)
    set_source_files_properties(${dir}/netvigil.rc PROPERTIES
        OBJECT_DEPENDS "${dir}/netvigil.ico;${CMAKE_CURRENT_FUNCTION_LIST_DIR}/netvigil-app.manifest")
    target_sources(${target} PRIVATE ${dir}/netvigil.rc)
endfunction()

# Nothing but Windows' own DLLs beside the programs.
target_link_options(netvigil_options INTERFACE -static)

if(NETVIGIL_TESTS)
    # Debian's googletest package holds the sources; built here for Windows.
    set(NETVIGIL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${NETVIGIL_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(gtest_target gtest gtest_main)
        target_link_options(${gtest_target} INTERFACE -static)
    endforeach()

    # wine-run's late hosts answer from a Linux program: built with this
    # machine's own compiler.
    find_program(NETVIGIL_NATIVE_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
    set(NETVIGIL_LATE_HOST ${PROJECT_BINARY_DIR}/bin/test_late_host)
    set(late_host_sources ${PROJECT_SOURCE_DIR}/tests/support/late_host.cpp
        ${PROJECT_SOURCE_DIR}/tools/ping/classify.cpp)
    add_custom_command(OUTPUT ${NETVIGIL_LATE_HOST}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/bin
        COMMAND ${NETVIGIL_NATIVE_CXX} -std=c++20 -O2 -Wall -Werror
            -I${PROJECT_SOURCE_DIR}/tools/ping -o ${NETVIGIL_LATE_HOST} ${late_host_sources}
        DEPENDS ${late_host_sources} ${PROJECT_SOURCE_DIR}/tools/ping/classify.h
        COMMENT "Building the late hosts' responder for this machine")
    add_custom_target(native_late_host ALL DEPENDS ${NETVIGIL_LATE_HOST})

    # Tests run under Wine, in a prefix of the build tree's own.
    set(NETVIGIL_WINE_PREFIX ${PROJECT_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${PROJECT_BINARY_DIR}/wine-run
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE
        @ONLY)
    set(NETVIGIL_WINE_RUN ${PROJECT_BINARY_DIR}/wine-run)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${NETVIGIL_WINE_RUN})
endif()
