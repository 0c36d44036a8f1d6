// browser ADDRESS: opens the address in the desktop's default web browser.
// An address with no scheme is a web address: "http://" goes in front, since
// xdg-open takes "www.example.com" for a file.
// NETVIGIL_DRY_RUN set: prints the command instead of running it.

#include "Program.h"
#include "RunOrPrint.h"
#include "address.h"

#include <cstdio>
#include <string>

int ProgramMain(int argc, char** argv) {
    // One address, never an option for xdg-open.
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
        std::fprintf(stderr, "browser: give one web address\n");
        return 2;
    }
    const auto address = WebAddress(argv[1]);
    if (!address) {
        std::fprintf(stderr, "browser: \"%s\" is not a web address\n", argv[1]);
        return 2;
    }
    return RunOrPrint({"xdg-open", *address},
                      "browser: cannot start xdg-open (Debian package xdg-utils)");
}
