// browser.exe ADDRESS: opens a web address in the user's default browser,
// for a web host's Explore where Windows names no browser command of its own
// (HKEY_CLASSES_ROOT\htmlfile\shell\opennew\command is missing on many
// installations). Only web addresses: Windows would open any file or
// registered scheme it is handed.
// NETVIGIL_DRY_RUN set: prints what it would open instead.

#include "Program.h"
#include "address.h"
#include "platform/utf8.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <windows.h> // with shellapi.h

int ProgramMain(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "browser: give one web address\n";
        return 2;
    }
    const auto address = WebAddress(argv[1]);
    const std::string scheme = address ? SchemeOf(*address) : "";
    if (scheme != "http" && scheme != "https") {
        std::cerr << "browser: \"" << argv[1] << "\" is not a web address\n";
        return 2;
    }
    if (std::getenv("NETVIGIL_DRY_RUN") != nullptr) {
        std::cout << "open " << *address << '\n';
        return 0;
    }
    // Above 32: opened.
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", platform::Utf16<wchar_t>(*address).c_str(), nullptr,
                      nullptr, SW_SHOWNORMAL));
    return opened > 32 ? 0 : 1;
}
