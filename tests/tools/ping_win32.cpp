// ping.exe, run by wine-run in a network namespace of its own: one way to
// send, the ICMP helper functions.

#include "ping_test.h"

#include <algorithm>

std::vector<std::string> PingMethods() {
    return {"icmp"};
}

testing_support::ProgramResult RunPing(const std::vector<std::string>& args,
                                       const std::string& /*method*/) {
    testing_support::ProgramResult r = testing_support::RunProgram("ping", args);
    std::erase(r.out, '\r');
    std::erase(r.err, '\r');
    return r;
}
