#pragma once

// One ICMP echo request and what came of it, by whichever means this machine
// allows: an ICMP datagram socket, a raw socket, or the system's own ping.

#include "outcome.h"
#include "sockets.h"

#include <chrono>
#include <memory>
#include <string>

namespace netvigil_ping {

struct Target {
    sockaddr_storage address{};
    socklen_t length = 0;
    std::string text; // the numeric address
};

class Echo {
public:
    virtual ~Echo() = default;
    // Sends request number sequence and waits at most timeout for its answer.
    virtual Outcome Ping(const Target& target, int sequence, std::chrono::milliseconds timeout) = 0;
};

enum class Method { Datagram, Raw, System };

// The first means that works for the family, in the order datagram, raw,
// system; forced by NETVIGIL_PING_METHOD (datagram, raw, system, none) for
// tests. On failure, null, with the reason and the fix in *why.
std::unique_ptr<Echo> OpenEcho(int family, std::string* why);

} // namespace netvigil_ping
