#include "classify.h"

#include <algorithm>

namespace netvigil_ping {

namespace {

constexpr std::size_t kIcmpHeader = 8;
constexpr std::size_t kIpv4Header = 20;
constexpr std::size_t kIpv6Header = 40;

// ICMP and ICMPv6 types and codes (RFC 792, RFC 4443).
constexpr int kEchoReply4 = 0;
constexpr int kUnreachable4 = 3;
constexpr int kSourceQuench4 = 4;
constexpr int kRedirect4 = 5;
constexpr int kTimeExceeded4 = 11;
constexpr int kParameterProblem4 = 12;
constexpr int kUnreachable6 = 1;
constexpr int kPacketTooBig6 = 2;
constexpr int kTimeExceeded6 = 3;
constexpr int kParameterProblem6 = 4;
constexpr int kEchoReply6 = 129;

std::uint16_t Field(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

bool Same(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

bool IsError(bool ipv6, int type) {
    return ipv6 ? type >= kUnreachable6 && type <= kParameterProblem6
                : type == kUnreachable4 || type == kSourceQuench4 || type == kRedirect4 ||
                      type == kTimeExceeded4 || type == kParameterProblem4;
}

// An error quotes the start of the request it is about: the IP header, then
// the ICMP header. Ours was sent to the target with our id and sequence.
bool QuotesOurRequest(std::span<const std::uint8_t> quoted, const Request& request) {
    std::size_t header = kIpv6Header;
    if (request.ipv6) {
        if (quoted.size() < kIpv6Header + kIcmpHeader ||
            !Same(quoted.subspan(24, 16), request.target)) {
            return false;
        }
    } else {
        if (quoted.size() < kIpv4Header) {
            return false;
        }
        header = static_cast<std::size_t>(quoted[0] & 0x0F) * 4;
        if (header < kIpv4Header || quoted.size() < header + kIcmpHeader ||
            !Same(quoted.subspan(16, 4), request.target)) {
            return false;
        }
    }
    return Field(quoted, header + 4) == request.id && Field(quoted, header + 6) == request.sequence;
}

} // namespace

Verdict Classify(const Arrival& arrival, const Request& request) {
    Verdict verdict;
    std::span<const std::uint8_t> icmp = arrival.packet;
    if (arrival.raw && !request.ipv6) {
        if (icmp.size() < kIpv4Header) {
            return verdict;
        }
        const auto header = static_cast<std::size_t>(icmp[0] & 0x0F) * 4;
        if (header < kIpv4Header || icmp.size() < header) {
            return verdict;
        }
        verdict.ttl = icmp[8];
        icmp = icmp.subspan(header);
    }
    if (icmp.size() < kIcmpHeader) {
        return {};
    }
    const int type = icmp[0];
    if (type == (request.ipv6 ? kEchoReply6 : kEchoReply4)) {
        const bool ours = (!arrival.raw || Field(icmp, 4) == request.id) &&
                          Field(icmp, 6) == request.sequence && Same(arrival.from, request.target);
        verdict.kind = ours ? Verdict::Kind::Reply : Verdict::Kind::Foreign;
        return ours ? verdict : Verdict{};
    }
    if (arrival.raw && IsError(request.ipv6, type) &&
        QuotesOurRequest(icmp.subspan(kIcmpHeader), request)) {
        return {Verdict::Kind::Error, type, icmp[1], -1};
    }
    return {};
}

std::string ErrorText(bool ipv6, int type, int code) {
    if (!ipv6) {
        switch (type) {
        case kUnreachable4:
            switch (code) {
            case 0: // net
            case 6: // net unknown
                return "Destination net unreachable.";
            case 2:
                return "Destination protocol unreachable.";
            case 3:
                return "Destination port unreachable.";
            case 4:
                return "Packet needs to be fragmented but DF set.";
            case 5:
                return "Source route failed.";
            case 9:  // net prohibited
            case 10: // host prohibited
            case 13: // filtered
                return "Destination prohibited.";
            default:
                return "Destination host unreachable.";
            }
        case kTimeExceeded4:
            return code == 0 ? "TTL expired in transit." : "TTL expired during reassembly.";
        case kParameterProblem4:
            return "Bad parameter.";
        case kSourceQuench4:
            return "Source quench received.";
        default:
            return "General failure.";
        }
    }
    switch (type) {
    case kUnreachable6:
        switch (code) {
        case 0: // no route
            return "Destination net unreachable.";
        case 1: // prohibited
            return "Destination prohibited.";
        case 4:
            return "Destination port unreachable.";
        default:
            return "Destination host unreachable.";
        }
    case kPacketTooBig6:
        return "Packet too big.";
    case kTimeExceeded6:
        return code == 0 ? "TTL expired in transit." : "TTL expired during reassembly.";
    case kParameterProblem6:
        return "Bad parameter.";
    default:
        return "General failure.";
    }
}

std::uint16_t Checksum(std::span<const std::uint8_t> message) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < message.size(); i += 2) {
        sum += static_cast<std::uint32_t>(message[i] << 8 | message[i + 1]);
    }
    if (message.size() % 2 != 0) {
        sum += static_cast<std::uint32_t>(message.back() << 8);
    }
    while (sum >> 16 != 0) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

} // namespace netvigil_ping
