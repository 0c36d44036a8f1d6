// ping's reply classifier over raw packet bytes, IPv4 and IPv6, raw and
// datagram sockets: nothing but an echo reply to our own request (its
// identifier where the socket does not match it, its sequence number, from
// the pinged address) is a reply, and an error counts only where it quotes
// our request.

#include "classify.h"
#include "fuzz_support.h"

#include <algorithm>
#include <optional>
#include <vector>

using fuzz_support::Expect;
using namespace netvigil_ping;
using Bytes = std::vector<std::uint8_t>;

namespace {

unsigned Word(const Bytes& b, std::size_t at) {
    return static_cast<unsigned>(b[at]) << 8 | b[at + 1];
}

// Where the ICMP message starts, as the socket hands the packet over;
// nothing where the packet is too short to hold one.
std::optional<std::size_t> IcmpStart(const Bytes& packet, bool ipv6, bool raw) {
    std::size_t start = 0;
    if (raw && !ipv6) {
        if (packet.empty()) {
            return std::nullopt;
        }
        start = (packet[0] & 0x0Fu) * 4u;
        if (start < 20) {
            return std::nullopt;
        }
    }
    if (packet.size() < start + 8) {
        return std::nullopt;
    }
    return start;
}

bool QuotesOurs(const Bytes& packet, std::size_t icmp, const Request& request) {
    const std::size_t ip = icmp + 8;
    if (packet.size() < ip + 1) {
        return false;
    }
    const std::size_t header = request.ipv6 ? 40u : (packet[ip] & 0x0Fu) * 4u;
    const std::size_t destination = request.ipv6 ? ip + 24 : ip + 16;
    if (header < (request.ipv6 ? 40u : 20u) || packet.size() < ip + header + 8) {
        return false;
    }
    const auto target = request.target;
    return std::equal(target.begin(), target.end(),
                      packet.begin() + static_cast<std::ptrdiff_t>(destination)) &&
           Word(packet, ip + header + 4) == request.id &&
           Word(packet, ip + header + 6) == request.sequence;
}

} // namespace

// The input: flags (bit 0 IPv6, bit 1 raw socket, bit 2 a sender apart from
// the target), identifier, sequence number, the target's address, the
// sender's where apart, then the packet.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_support::Reader input(data, size);
    const auto flags = input.Number<std::uint8_t>();
    const bool ipv6 = (flags & 1) != 0;
    const bool raw = (flags & 2) != 0;
    const auto id = input.Number<std::uint16_t>();
    const auto sequence = input.Number<std::uint16_t>();
    const std::size_t width = ipv6 ? 16 : 4;
    Bytes target(width);
    for (auto& b : target) {
        b = input.Number<std::uint8_t>();
    }
    Bytes from = target;
    if ((flags & 4) != 0) {
        // Now and then a sender of the other family.
        from.resize((flags & 8) != 0 ? 20 - width : width);
        for (auto& b : from) {
            b = input.Number<std::uint8_t>();
        }
    }
    const std::string rest = input.Rest();
    const Bytes packet(rest.begin(), rest.end());

    const Request request{ipv6, id, sequence, target};
    const Verdict verdict = Classify({packet, from, raw}, request);

    const auto icmp = IcmpStart(packet, ipv6, raw);
    const bool reply = icmp && packet[*icmp] == (ipv6 ? 129 : 0) &&
                       (!raw || Word(packet, *icmp + 4) == id) &&
                       Word(packet, *icmp + 6) == sequence && from == target;
    Expect((verdict.kind == Verdict::Kind::Reply) == reply,
           "a reply is exactly an echo reply to our request from the pinged address");
    if (verdict.kind == Verdict::Kind::Error) {
        Expect(raw && icmp.has_value(), "an error comes whole, to a raw socket");
        const int type = packet[*icmp];
        const bool error = ipv6 ? type >= 1 && type <= 4
                                : type == 3 || type == 4 || type == 5 || type == 11 || type == 12;
        Expect(error && QuotesOurs(packet, *icmp, request) && verdict.type == type &&
                   verdict.code == packet[*icmp + 1],
               "an error is one that quotes our request, seen by a raw socket");
    }
    if (verdict.kind == Verdict::Kind::Reply && raw && !ipv6) {
        Expect(verdict.ttl == packet[8], "a raw IPv4 reply carries its TTL");
    }
    return 0;
}
