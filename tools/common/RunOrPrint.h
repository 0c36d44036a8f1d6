#pragma once

// Runs a command in place of this program (never through a shell), or, with
// NETVIGIL_DRY_RUN set, only prints it: how tests see what the platform
// commands would do.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

inline int RunOrPrint(std::vector<std::string> command, const char* whenMissing) {
    if (std::getenv("NETVIGIL_DRY_RUN") != nullptr) {
        for (std::size_t i = 0; i < command.size(); ++i) {
            std::printf("%s%s", i == 0 ? "" : " ", command[i].c_str());
        }
        std::printf("\n");
        return 0;
    }
    std::vector<char*> args;
    for (auto& part : command) {
        args.push_back(part.data());
    }
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::fprintf(stderr, "%s\n", whenMissing);
    return 1;
}
