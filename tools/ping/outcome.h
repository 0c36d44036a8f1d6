#pragma once

// What came of one echo request, whichever way it was sent.

#include <chrono>
#include <string>

namespace netvigil_ping {

struct Outcome {
    enum class Kind { Reply, TimedOut, Error } kind = Kind::TimedOut;
    std::chrono::microseconds time{0}; // round trip of a reply
    int ttl = -1;                      // of a reply, when known
    std::string error;                 // "Destination host unreachable." and the like
};

} // namespace netvigil_ping
