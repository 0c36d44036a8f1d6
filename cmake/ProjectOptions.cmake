# One interface target carries the warning and sanitizer flags; every target of
# ours links it, so the whole tree is built the same way.
add_library(netvigil_options INTERFACE)
target_compile_options(netvigil_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(NETVIGIL_WERROR)
    target_compile_options(netvigil_options INTERFACE -Werror)
endif()
if(NETVIGIL_SANITIZE)
    target_compile_options(netvigil_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(netvigil_options INTERFACE -fsanitize=address,undefined)
endif()
# The fuzzers: libFuzzer's coverage in every target, and the sanitizers.
if(NETVIGIL_FUZZ)
    target_compile_options(netvigil_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    target_link_options(netvigil_options INTERFACE -fsanitize=address,undefined)
endif()
