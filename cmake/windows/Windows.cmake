# What the Windows build needs beyond the compiler: the programs' manifest,
# GoogleTest built from source, and Wine to run the tests.

# UTF-8 as the programs' 8-bit code page (Windows 10 1903 and later): the text
# of the program is UTF-8, and so it reaches the A functions unchanged. Only
# programs get it; the flags reach them through netvigil_options.
target_sources(netvigil_options INTERFACE
    "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${CMAKE_CURRENT_LIST_DIR}/manifest.rc>")
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

    # Tests run under Wine, in a prefix of the build tree's own.
    set(NETVIGIL_WINE_PREFIX ${PROJECT_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${PROJECT_BINARY_DIR}/wine-run
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE
        @ONLY)
    set(NETVIGIL_WINE_RUN ${PROJECT_BINARY_DIR}/wine-run)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${NETVIGIL_WINE_RUN})
endif()
