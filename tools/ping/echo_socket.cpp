// Echo requests through an ICMP socket of our own: an unprivileged datagram
// socket where net.ipv4.ping_group_range allows it, else a raw one.

#include "classify.h"
#include "echo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <unistd.h>

namespace netvigil_ping {

namespace {

using Clock = std::chrono::steady_clock;

// What Windows sends: 32 bytes of the alphabet.
constexpr char kPayload[] = "abcdefghijklmnopqrstuvwabcdefghi";
constexpr std::size_t kPayloadSize = 32;
constexpr std::size_t kHeaderSize = 8;

bool SameAddress(const sockaddr_storage& a, const Target& target) {
    if (a.ss_family != target.address.ss_family) {
        return false;
    }
    if (a.ss_family == AF_INET) {
        return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in&>(target.address).sin_addr.s_addr;
    }
    return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                       &reinterpret_cast<const sockaddr_in6&>(target.address).sin6_addr,
                       sizeof(in6_addr)) == 0;
}

// The address itself, 4 or 16 bytes, as packets carry it.
std::span<const std::uint8_t> AddressBytes(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address).sin_addr;
        return {reinterpret_cast<const std::uint8_t*>(&in), sizeof in};
    }
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
    return {reinterpret_cast<const std::uint8_t*>(&in6), sizeof in6};
}

std::uint16_t Field(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

class SocketEcho final : public Echo {
public:
    SocketEcho(int fd, int family, bool raw) : m_fd(fd), m_family(family), m_raw(raw) {
        const int on = 1;
        if (family == AF_INET) {
            setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
            setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
        } else {
            setsockopt(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on);
            setsockopt(fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on);
            if (raw) {
                icmp6_filter filter;
                ICMP6_FILTER_SETBLOCKALL(&filter);
                for (const int type : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG,
                                       ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB}) {
                    ICMP6_FILTER_SETPASS(type, &filter);
                }
                setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
            }
        }
        // A raw socket sees every echo on the machine: ours carry our id.
        m_id = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
    }
    ~SocketEcho() override { ::close(m_fd); }
    SocketEcho(const SocketEcho&) = delete;
    SocketEcho& operator=(const SocketEcho&) = delete;

    Outcome Ping(const Target& target, int sequence, std::chrono::milliseconds timeout) override {
        unsigned char packet[kHeaderSize + kPayloadSize] = {};
        packet[0] = m_family == AF_INET ? ICMP_ECHO : ICMP6_ECHO_REQUEST;
        packet[4] = static_cast<unsigned char>(m_id >> 8);
        packet[5] = static_cast<unsigned char>(m_id & 0xFF);
        m_sequence = static_cast<std::uint16_t>(sequence);
        packet[6] = static_cast<unsigned char>(m_sequence >> 8);
        packet[7] = static_cast<unsigned char>(m_sequence & 0xFF);
        std::memcpy(packet + kHeaderSize, kPayload, kPayloadSize);
        const std::uint16_t sum = Checksum({packet, sizeof packet});
        packet[2] = static_cast<unsigned char>(sum >> 8);
        packet[3] = static_cast<unsigned char>(sum & 0xFF);

        const auto sent = Clock::now();
        const auto deadline = sent + timeout;
        if (::sendto(m_fd, packet, sizeof packet, 0,
                     reinterpret_cast<const sockaddr*>(&target.address), target.length) < 0) {
            return SendError(errno);
        }
        while (true) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) {
                return {};
            }
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            const timespec wait{static_cast<time_t>(ns / 1000000000),
                                static_cast<long>(ns % 1000000000)};
            pollfd pfd{m_fd, POLLIN, 0};
            const int ready = ::ppoll(&pfd, 1, &wait, nullptr);
            if (ready < 0 && errno != EINTR) {
                return {Outcome::Kind::Error, {}, -1, "General failure."};
            }
            if (ready <= 0) {
                continue;
            }
            Outcome outcome;
            if ((pfd.revents & POLLERR) != 0 && QueuedError(target, &outcome)) {
                return outcome;
            }
            if ((pfd.revents & POLLIN) != 0 && Received(target, sent, &outcome)) {
                return outcome;
            }
        }
    }

private:
    static Outcome SendError(int error) {
        switch (error) {
        case ENETUNREACH:
            return {Outcome::Kind::Error, {}, -1, "Destination net unreachable."};
        case EHOSTUNREACH:
            return {Outcome::Kind::Error, {}, -1, "Destination host unreachable."};
        default:
            return {Outcome::Kind::Error, {}, -1, "General failure."};
        }
    }

    // An ICMP error about one of our requests, as the kernel queues it for a
    // socket that asked for them.
    bool QueuedError(const Target& target, Outcome* outcome) {
        unsigned char data[512];
        unsigned char control[512];
        sockaddr_storage from{};
        iovec iov{data, sizeof data};
        msghdr msg{&from, sizeof from, &iov, 1, control, sizeof control, 0};
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0) {
            return false;
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            const bool ours = (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR) ||
                              (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR);
            if (!ours) {
                continue;
            }
            sock_extended_err err;
            std::memcpy(&err, CMSG_DATA(c), sizeof err);
            // The queued copy is our own request: it must be this one.
            const bool thisRequest = n >= static_cast<ssize_t>(kHeaderSize) &&
                                     Field(data + 6) == m_sequence && SameAddress(from, target);
            if (!thisRequest) {
                return false;
            }
            if (err.ee_origin == SO_EE_ORIGIN_ICMP || err.ee_origin == SO_EE_ORIGIN_ICMP6) {
                *outcome = {Outcome::Kind::Error,
                            {},
                            -1,
                            ErrorText(m_family == AF_INET6, err.ee_type, err.ee_code)};
            } else {
                *outcome = SendError(static_cast<int>(err.ee_errno));
            }
            return true;
        }
        return false;
    }

    bool Received(const Target& target, Clock::time_point sent, Outcome* outcome) {
        unsigned char data[1500];
        unsigned char control[256];
        sockaddr_storage from{};
        iovec iov{data, sizeof data};
        msghdr msg{&from, sizeof from, &iov, 1, control, sizeof control, 0};
        const ssize_t got = ::recvmsg(m_fd, &msg, MSG_DONTWAIT);
        if (got <= 0) {
            return false;
        }
        const auto arrived = Clock::now();
        const Request request{m_family == AF_INET6, m_id, m_sequence, AddressBytes(target.address)};
        const Arrival arrival{{data, static_cast<std::size_t>(got)}, AddressBytes(from), m_raw};
        const Verdict verdict = Classify(arrival, request);
        switch (verdict.kind) {
        case Verdict::Kind::Foreign:
            return false;
        case Verdict::Kind::Error:
            *outcome = {Outcome::Kind::Error,
                        {},
                        -1,
                        ErrorText(m_family == AF_INET6, verdict.type, verdict.code)};
            return true;
        case Verdict::Kind::Reply:
            break;
        }
        int ttl = verdict.ttl;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if ((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) ||
                (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_HOPLIMIT)) {
                std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            }
        }
        *outcome = {Outcome::Kind::Reply,
                    std::chrono::duration_cast<std::chrono::microseconds>(arrived - sent),
                    ttl,
                    {}};
        return true;
    }

    int m_fd;
    int m_family;
    bool m_raw;
    std::uint16_t m_id = 0;
    std::uint16_t m_sequence = 0;
};

} // namespace

std::unique_ptr<Echo> OpenSocketEcho(int family, bool raw, int* error) {
    const int protocol = family == AF_INET ? int{IPPROTO_ICMP} : int{IPPROTO_ICMPV6};
    const int fd = ::socket(family, (raw ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    return std::make_unique<SocketEcho>(fd, family, raw);
}

} // namespace netvigil_ping
