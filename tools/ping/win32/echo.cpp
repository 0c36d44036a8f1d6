// Echo requests on Windows through the ICMP helper functions (IcmpSendEcho2,
// Icmp6SendEcho2), which need no administrator rights. An answer counts as a
// reply only when it is an echo reply from the address pinged; Windows' own
// ping also counts "Destination host unreachable" from a router as one.

#include "echo.h"

// clang-format off
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace netvigil_ping {

namespace {

// What Windows sends: 32 bytes of the alphabet.
constexpr char kPayload[] = "abcdefghijklmnopqrstuvwabcdefghi";
constexpr WORD kPayloadSize = 32;
constexpr UCHAR kTtl = 128;

// Room for one reply, the echoed data and an ICMP error's quoted packet.
constexpr DWORD kReplySize = 1024;

// The reply Icmp6ParseReplies hands out; the address in it is packed.
#pragma pack(push, 1)
struct Ipv6AddressEx {
    USHORT sin6_port;
    ULONG sin6_flowinfo;
    USHORT sin6_addr[8];
    ULONG sin6_scope_id;
};
#pragma pack(pop)
struct Icmpv6EchoReply {
    Ipv6AddressEx Address;
    ULONG Status;
    unsigned int RoundTripTime;
};
static_assert(sizeof(Ipv6AddressEx) == 26 && offsetof(Icmpv6EchoReply, Status) == 28);

// The text of a status; IPv6 gives one of the numbers another meaning.
std::string StatusText(ULONG status, int family) {
    switch (status) {
    case IP_DEST_NET_UNREACHABLE:
        return "Destination net unreachable.";
    case IP_DEST_HOST_UNREACHABLE:
        return "Destination host unreachable.";
    case IP_DEST_PROT_UNREACHABLE:
        return family == AF_INET ? "Destination protocol unreachable." : "Destination prohibited.";
    case IP_DEST_PORT_UNREACHABLE:
        return "Destination port unreachable.";
    case IP_PACKET_TOO_BIG:
        return "Packet needs to be fragmented but DF set.";
    case IP_TTL_EXPIRED_TRANSIT:
        return "TTL expired in transit.";
    case IP_TTL_EXPIRED_REASSEM:
        return "TTL expired during reassembly.";
    case IP_PARAM_PROBLEM:
        return "Bad parameter.";
    case IP_SOURCE_QUENCH:
        return "Source quench received.";
    case IP_BAD_ROUTE:
        return "Source route failed.";
    case IP_BAD_DESTINATION:
        return "Bad destination.";
    default:
        return "General failure.";
    }
}

// The timeout in the unit the helpers take: milliseconds, at least one (0
// would not wait at all).
DWORD Milliseconds(std::chrono::milliseconds timeout) {
    return static_cast<DWORD>(std::clamp<long long>(timeout.count(), 1, 0xFFFFFFFE));
}

// A failed send, by the status or error the helper gave.
Outcome Failed(DWORD error, int family) {
    if (error == IP_REQ_TIMED_OUT) {
        return {Outcome::Kind::TimedOut, {}, -1, {}};
    }
    return {Outcome::Kind::Error, {}, -1, StatusText(error, family)};
}

class IcmpEcho final : public Echo {
public:
    IcmpEcho(HANDLE handle, int family) : m_handle(handle), m_family(family) {}
    ~IcmpEcho() override { IcmpCloseHandle(m_handle); }
    IcmpEcho(const IcmpEcho&) = delete;
    IcmpEcho& operator=(const IcmpEcho&) = delete;

    Outcome Ping(const Target& target, int /*sequence*/,
                 std::chrono::milliseconds timeout) override {
        return m_family == AF_INET ? Ping4(target, timeout) : Ping6(target, timeout);
    }

private:
    Outcome Ping4(const Target& target, std::chrono::milliseconds timeout) {
        const auto& to = reinterpret_cast<const sockaddr_in&>(target.address);
        IP_OPTION_INFORMATION options{};
        options.Ttl = kTtl;
        alignas(ICMP_ECHO_REPLY) unsigned char reply[kReplySize];
        char data[kPayloadSize];
        std::memcpy(data, kPayload, kPayloadSize);
        const DWORD count =
            IcmpSendEcho2(m_handle, nullptr, nullptr, nullptr, to.sin_addr.s_addr, data,
                          kPayloadSize, &options, reply, sizeof reply, Milliseconds(timeout));
        if (count == 0) {
            return Failed(GetLastError(), m_family);
        }
        const auto& answer = *reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
        if (answer.Status != IP_SUCCESS) {
            return Failed(answer.Status, m_family);
        }
        if (answer.Address != to.sin_addr.s_addr) {
            // An echo reply from someone else answers nobody's request of ours.
            return {Outcome::Kind::TimedOut, {}, -1, {}};
        }
        return {Outcome::Kind::Reply,
                std::chrono::milliseconds(answer.RoundTripTime),
                answer.Options.Ttl,
                {}};
    }

    Outcome Ping6(const Target& target, std::chrono::milliseconds timeout) {
        sockaddr_in6 from{};
        from.sin6_family = AF_INET6;
        auto to = reinterpret_cast<const sockaddr_in6&>(target.address);
        IP_OPTION_INFORMATION options{};
        options.Ttl = kTtl;
        alignas(Icmpv6EchoReply) unsigned char reply[kReplySize];
        char data[kPayloadSize];
        std::memcpy(data, kPayload, kPayloadSize);
        const DWORD count =
            Icmp6SendEcho2(m_handle, nullptr, nullptr, nullptr, &from, &to, data, kPayloadSize,
                           &options, reply, sizeof reply, Milliseconds(timeout));
        if (count == 0 || Icmp6ParseReplies(reply, sizeof reply) == 0) {
            return Failed(GetLastError(), m_family);
        }
        const auto& answer = *reinterpret_cast<const Icmpv6EchoReply*>(reply);
        if (answer.Status != IP_SUCCESS) {
            return Failed(answer.Status, m_family);
        }
        if (std::memcmp(answer.Address.sin6_addr, &to.sin6_addr, sizeof to.sin6_addr) != 0) {
            return {Outcome::Kind::TimedOut, {}, -1, {}};
        }
        return {Outcome::Kind::Reply, std::chrono::milliseconds(answer.RoundTripTime), -1, {}};
    }

    HANDLE m_handle;
    int m_family;
};

} // namespace

std::unique_ptr<Echo> OpenEcho(int family, std::string* why) {
    const HANDLE handle = family == AF_INET ? IcmpCreateFile() : Icmp6CreateFile();
    if (handle == INVALID_HANDLE_VALUE) {
        *why = "Unable to contact IP driver. General failure.\n";
        return nullptr;
    }
    return std::make_unique<IcmpEcho>(handle, family);
}

} // namespace netvigil_ping
