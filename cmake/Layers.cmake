# The layers as CMake keeps them: each library exposes its own folder of src/
# and nothing else, and each program names the backends that give the
# platform functions its libraries call.

# netvigil_expose(target folder [PRIVATE])
# Whatever links target may include "folder/..." (the target itself too, with
# PRIVATE only that). The folder "platform" stands for the system interfaces
# alone: its headers, not the folders below it (the window-system interface
# in gui/, the backends), which their own targets expose.
# A view of symbolic links in the build tree does it: an include path cannot
# name one folder of src/ without its neighbours.
# The views are made afresh at each configure, so none keeps a folder that a
# target no longer exposes.
file(REMOVE_RECURSE ${PROJECT_BINARY_DIR}/include)
function(netvigil_expose target folder)
    set(view ${PROJECT_BINARY_DIR}/include/${target})
    if(ARGN STREQUAL "PRIVATE")
        set(view ${view}.private)
    endif()
    set(source ${PROJECT_SOURCE_DIR}/src/${folder})
    if(folder STREQUAL "platform")
        file(MAKE_DIRECTORY ${view}/platform)
        file(GLOB headers CONFIGURE_DEPENDS ${source}/*.h)
        foreach(header ${headers})
            get_filename_component(name ${header} NAME)
            file(CREATE_LINK ${header} ${view}/platform/${name} SYMBOLIC COPY_ON_ERROR)
        endforeach()
    else()
        get_filename_component(parent ${view}/${folder} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${source} ${view}/${folder} SYMBOLIC COPY_ON_ERROR)
    endif()
    get_target_property(type ${target} TYPE)
    if(ARGN STREQUAL "PRIVATE")
        target_include_directories(${target} PRIVATE ${view})
    elseif(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${view})
    else()
        target_include_directories(${target} PUBLIC ${view})
    endif()
endfunction()

# The platform interfaces a library calls, and those a backend gives: system
# (registry, processes, environment), shell (the notification area) and gui
# (the window system); with a few of their calls, and a backend that gives
# them.
set(NETVIGIL_INTERFACE_system_CALLS "RegOpenKeyEx, CreateProcess and the other system functions")
set(NETVIGIL_INTERFACE_system_BACKEND ${NETVIGIL_SYSTEM_BACKEND})
set(NETVIGIL_INTERFACE_shell_CALLS "Shell_NotifyIcon")
set(NETVIGIL_INTERFACE_shell_BACKEND platform_qt_shell)
set(NETVIGIL_INTERFACE_gui_CALLS "Form, DoEvents and the rest of the window system")
set(NETVIGIL_INTERFACE_gui_BACKEND platform_qt)

function(netvigil_calls target)
    set_property(TARGET ${target} APPEND PROPERTY NETVIGIL_CALLS ${ARGN})
endfunction()

function(netvigil_provides target)
    set_property(TARGET ${target} APPEND PROPERTY NETVIGIL_PROVIDES ${ARGN})
endfunction()

# netvigil_backend(target backend...)
# Names the backends a program links: platform_posix or platform_fake (on
# Windows platform_win32) for the system, platform_qt_shell or
# platform_fake_shell for the notification area, platform_qt for the window
# system. The interface library links them after every library that needs
# them.
function(netvigil_backend target)
    set_property(TARGET ${target} APPEND PROPERTY NETVIGIL_BACKENDS ${ARGN})
endfunction()

# The targets of ours that target links, directly or through others.
function(_netvigil_closure out)
    set(seen)
    set(queue ${ARGN})
    while(queue)
        list(POP_FRONT queue item)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
        if(NOT TARGET ${item} OR item IN_LIST seen)
            continue()
        endif()
        get_target_property(imported ${item} IMPORTED)
        if(imported)
            continue()
        endif()
        list(APPEND seen ${item})
        get_target_property(type ${item} TYPE)
        if(type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
        else()
            get_target_property(links ${item} LINK_LIBRARIES)
        endif()
        if(links)
            list(APPEND queue ${links})
        endif()
    endwhile()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(_netvigil_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub ${subdirs})
        _netvigil_targets(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Every program must name a backend for each interface its libraries call:
# a forgotten one is a configure error that names the calls, not a list of
# undefined symbols at link time.
function(netvigil_check_backends)
    _netvigil_targets(${PROJECT_SOURCE_DIR} targets)
    foreach(program ${targets})
        get_target_property(type ${program} TYPE)
        if(NOT type STREQUAL "EXECUTABLE")
            continue()
        endif()
        _netvigil_closure(uses ${program})
        get_target_property(backends ${program} NETVIGIL_BACKENDS)
        if(NOT backends)
            set(backends)
        endif()
        _netvigil_closure(given ${backends} ${uses})
        set(provided)
        foreach(backend ${given})
            get_target_property(p ${backend} NETVIGIL_PROVIDES)
            if(p)
                list(APPEND provided ${p})
            endif()
        endforeach()
        set(missing)
        foreach(library ${uses})
            get_target_property(calls ${library} NETVIGIL_CALLS)
            if(NOT calls)
                continue()
            endif()
            foreach(interface ${calls})
                if(NOT interface IN_LIST provided)
                    list(APPEND missing ${interface})
                    list(APPEND callers_${interface} ${library})
                endif()
            endforeach()
        endforeach()
        list(REMOVE_DUPLICATES missing)
        foreach(interface ${missing})
            list(JOIN callers_${interface} ", " callers)
            message(SEND_ERROR
                "${program} names no backend for the ${interface} interface: "
                "${NETVIGIL_INTERFACE_${interface}_CALLS}, which ${callers} call. Name one, "
                "such as ${NETVIGIL_INTERFACE_${interface}_BACKEND}, in "
                "netvigil_backend(${program} ...).")
            unset(callers_${interface})
        endforeach()
    endforeach()
endfunction()
