// shutdown -m \\HOST (-s | -r | -a) [-t N] [-f] [-c TEXT]: shuts down,
// restarts, or aborts the shutdown of a remote Windows machine through
// Samba's net rpc. It never touches this machine: without -m, with an empty
// or local host, or with anything it does not understand, it refuses.
// NETVIGIL_DRY_RUN set: prints the command instead of running it.

#include "RunOrPrint.h"
#include "local.h"
#include "request.h"

#include <cstdio>
#include <exception>
#include <string>
#include <variant>
#include <vector>

using namespace netvigil_shutdown;

namespace {

int Refuse(const std::string& why) {
    std::fprintf(stderr,
                 "shutdown: %s; nothing was done.\n"
                 "Usage: shutdown -m \\\\HOST -s|-r|-a [-t SECONDS] [-f] [-c COMMENT]\n",
                 why.c_str());
    return 1;
}

int Run(int argc, char** argv) {
    const auto parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* why = std::get_if<std::string>(&parsed)) {
        return Refuse(*why);
    }
    const Request& request = std::get<Request>(parsed);
    if (IsThisMachine(request.host, ThisMachine())) {
        return Refuse("\"" + request.host + "\" is this machine");
    }
    return RunOrPrint(NetCommand(request),
                      "shutdown: Samba's net is not installed (Debian package samba-common-bin)");
}

} // namespace

// Nothing is expected to throw but running out of memory; even then the
// caller gets a line saying why and an exit code, not an abort.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "shutdown: %s\n", error.what());
    } catch (...) {
        std::fputs("shutdown: an unexpected error\n", stderr);
    }
    return 1;
}
