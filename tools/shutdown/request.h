#pragma once

// shutdown's command line, what it asks of a remote machine, and the Samba
// command that carries it out: plain values in and out, so tests and fuzzers
// reach them without a network.

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace netvigil_shutdown {

struct Request {
    std::string host;
    char action = 0; // 's' shut down, 'r' restart, 'a' abort
    std::optional<long> seconds;
    bool force = false;
    std::optional<std::string> comment;
};

// The arguments after the program's name; the request, or why it is refused.
std::variant<Request, std::string> ParseArguments(const std::vector<std::string>& args);

// A name or address: nothing net could take for an option or for more.
bool PlainHost(const std::string& host);

// The net rpc command that carries the request out.
std::vector<std::string> NetCommand(const Request& request);

} // namespace netvigil_shutdown
