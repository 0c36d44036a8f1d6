#pragma once

// What an arriving ICMP packet is to us: the echo reply to our request, an
// error about our request, or someone else's. Only packet bytes and plain
// values go in, so any socket code (and a fuzzer) can ask.

#include <cstdint>
#include <span>
#include <string>

namespace netvigil_ping {

struct Request {
    bool ipv6 = false;
    std::uint16_t id = 0;
    std::uint16_t sequence = 0;
    std::span<const std::uint8_t> target; // its address: 4 or 16 bytes
};

struct Arrival {
    std::span<const std::uint8_t> packet; // as the socket handed it over
    std::span<const std::uint8_t> from;   // the sender's address: 4 or 16 bytes
    // A raw socket sees every ICMP packet of the machine and hands over the
    // IPv4 header too; a datagram socket's kernel has matched the
    // identifier already, and queues errors apart.
    bool raw = false;
};

struct Verdict {
    enum class Kind { Foreign, Reply, Error } kind = Kind::Foreign;
    int type = 0; // of an error
    int code = 0;
    int ttl = -1; // from the IPv4 header, where it came along
};

Verdict Classify(const Arrival& arrival, const Request& request);

// The Internet checksum (RFC 1071) of an ICMP message, its checksum field
// zero, in host order.
std::uint16_t Checksum(std::span<const std::uint8_t> message);

// The Windows text of an ICMP error.
std::string ErrorText(bool ipv6, int type, int code);

} // namespace netvigil_ping
