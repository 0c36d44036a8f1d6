#pragma once

// Whether a host named on the command line is this machine, by any of its
// names or addresses, or by a name that resolves to one of them. What the
// check needs to know of the machine comes in as facts, so a test can give
// any machine's.

#include <functional>
#include <string>
#include <vector>

namespace netvigil_shutdown {

struct MachineFacts {
    std::string hostname;
    std::vector<std::string> addresses; // of its interfaces, numeric
    // The numeric addresses a name resolves to.
    std::function<std::vector<std::string>(const std::string& name)> resolve;
};

bool IsThisMachine(const std::string& host, const MachineFacts& facts);

// This machine's own facts, and its resolver.
MachineFacts ThisMachine();

} // namespace netvigil_shutdown
