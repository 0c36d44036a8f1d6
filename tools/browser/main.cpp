// browser ADDRESS: opens the address in the desktop's default web browser.
// An address with no scheme is a web address: "http://" goes in front, since
// xdg-open takes "www.example.com" for a file.
// NETVIGIL_DRY_RUN set: prints the command instead of running it.

#include "RunOrPrint.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

bool HasScheme(const std::string& address) {
    const auto colon = address.find("://");
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        if (std::isalnum(c) == 0 && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return std::isalpha(static_cast<unsigned char>(address[0])) != 0;
}

} // namespace

int main(int argc, char** argv) {
    // One address, never an option for xdg-open.
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
        std::fprintf(stderr, "browser: give one web address\n");
        return 2;
    }
    std::string address = argv[1];
    for (const char c : address) {
        if (static_cast<unsigned char>(c) < 0x20 || c == ' ') {
            std::fprintf(stderr, "browser: \"%s\" is not a web address\n", argv[1]);
            return 2;
        }
    }
    if (!HasScheme(address)) {
        address = "http://" + address;
    }
    return RunOrPrint({"xdg-open", address},
                      "browser: cannot start xdg-open (Debian package xdg-utils)");
}
