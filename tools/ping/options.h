#pragma once

// ping's command line: the Windows options, and the refusals of what the
// windows never send.

#include <string>
#include <variant>
#include <vector>

namespace netvigil_ping {

enum class Family { Any, V4, V6 };

struct Options {
    unsigned long count = 4;
    unsigned long timeout = 4000; // milliseconds; 0 is "do not wait"
    Family family = Family::Any;
    std::string target;
};

// Why the command line is refused: what to print on each stream, and the
// exit code.
struct Refusal {
    std::string out;
    std::string err;
    int exitCode = 1;
};

// The arguments after the program's name.
std::variant<Options, Refusal> ParseOptions(const std::vector<std::string>& args);

} // namespace netvigil_ping
