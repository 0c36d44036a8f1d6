#pragma once

// ping's command line: the Windows options, and the refusals of what the
// windows never send.

#include <chrono>
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

// Windows' console ping counts a reply that comes within about half a second
// whatever smaller timeout it is given: the board's -w 8 never turned a host
// 30 ms away red there, and must not here.
inline constexpr std::chrono::milliseconds kReplyFloor{500};

// How long a reply to one request is waited for: the timeout, but never less
// than kReplyFloor; 0 stays "do not wait".
std::chrono::milliseconds ReplyWindow(unsigned long timeout);

} // namespace netvigil_ping
