// ping's parts that touch no socket: its command line, its texts, and what an
// arriving packet is, from packet bytes.

#include "classify.h"
#include "options.h"
#include "report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace netvigil_ping;
using Bytes = std::vector<std::uint8_t>;

namespace {

TEST(PingOptions, TheWindowsOptionsOnce) {
    struct Case {
        std::vector<std::string> args;
        const char* out; // nullptr: taken
        const char* err;
    };
    const Case cases[] = {
        {{"-n", "1", "-w", "8", "10.0.0.1"}, nullptr, ""},
        {{"/n", "3", "/w", "0", "-6", "host"}, nullptr, ""},
        {{}, "\nUsage: ping", ""},
        {{"-n", "1"}, "IP address must be specified.", ""},
        {{"-t", "x"}, "Bad option -t.\n\nUsage: ping", ""},
        {{"-n", "0", "x"}, "Bad value for option -n, valid range is from 1 to 4294967295.", ""},
        {{"-w", "4294967296", "x"}, "Bad value for option -w, valid range is from 0", ""},
        {{"-w"}, "Value must be supplied for option -w.", ""},
        {{"a", "b"}, "Bad parameter b.", ""},
        {{"a", "Reply"}, "Bad parameter reply.", ""},
        {{"/Reply", "a"}, "Bad option /reply.", ""},
        {{"-n", "1", "x", "-n", "12"},
         "",
         "ping: the option -n is given twice; nothing was sent.\n"},
        {{"-w", "8", "x", "/w", "1"}, "", "ping: the option -w is given twice"},
        {{"-4", "-4", "x"}, "", "ping: the option -4 is given twice"},
        {{"-4", "x", "-6"}, "", "ping: -4 and -6 cannot both be given"},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseOptions(c.args);
        const auto* refusal = std::get_if<Refusal>(&parsed);
        ASSERT_EQ(refusal != nullptr, c.out != nullptr) << testing::PrintToString(c.args);
        if (refusal != nullptr) {
            EXPECT_EQ(refusal->exitCode, 1);
            EXPECT_EQ(refusal->out.find(c.out), 0u) << refusal->out;
            EXPECT_EQ(refusal->err.find(c.err), 0u) << refusal->err;
        }
    }
    const auto options = std::get<Options>(ParseOptions({"/n", "3", "/w", "0", "-6", "host"}));
    EXPECT_EQ(options.count, 3u);
    EXPECT_EQ(options.timeout, 0u);
    EXPECT_EQ(options.family, Family::V6);
    EXPECT_EQ(options.target, "host");

    // A reply is waited for at least half a second, as by Windows' ping.
    using std::chrono::milliseconds;
    EXPECT_EQ(ReplyWindow(0), milliseconds(0));
    EXPECT_EQ(ReplyWindow(8), milliseconds(500));
    EXPECT_EQ(ReplyWindow(1000), milliseconds(1000));
    EXPECT_EQ(ReplyWindow(4294967295), milliseconds(4294967295));
}

TEST(PingReport, WindowsTextsAndReplyOnlyForAReply) {
    using std::chrono::microseconds;
    EXPECT_EQ(OutcomeText({Outcome::Kind::Reply, microseconds(500), 64, {}}, "10.0.0.1", true),
              "Reply from 10.0.0.1: bytes=32 time<1ms TTL=64\n");
    EXPECT_EQ(OutcomeText({Outcome::Kind::Reply, microseconds(12900), -1, {}}, "::1", false),
              "Reply from ::1: time=12ms\n");
    EXPECT_EQ(OutcomeText({}, "10.0.0.1", true), "Request timed out.\n");
    EXPECT_EQ(OutcomeText({Outcome::Kind::Error, {}, -1, "Destination net unreachable."},
                          "10.0.0.1", true),
              "Destination net unreachable.\n");
    EXPECT_EQ(PingingText("Reply.example", "10.0.0.1", false),
              "\nPinging reply.example [10.0.0.1] with 32 bytes of data:\n");
    EXPECT_EQ(PingingText("10.0.0.1", "10.0.0.1", true),
              "\nPinging 10.0.0.1 with 32 bytes of data:\n");
    EXPECT_EQ(
        NotFoundText("ReplyReply"),
        "Ping request could not find host replyreply. Please check the name and try again.\n");
    EXPECT_EQ(StatisticsText("10.0.0.1", {2, {microseconds(1000), microseconds(3000)}}),
              "\nPing statistics for 10.0.0.1:\n"
              "    Packets: Sent = 2, Received = 2, Lost = 0 (0% loss),\n"
              "Approximate round trip times in milli-seconds:\n"
              "    Minimum = 1ms, Maximum = 3ms, Average = 2ms\n");
    EXPECT_EQ(StatisticsText("10.0.0.1", {4, {}}),
              "\nPing statistics for 10.0.0.1:\n"
              "    Packets: Sent = 4, Received = 0, Lost = 4 (100% loss),\n");
}

// Packets as they arrive: our request went to 10.0.0.9 (or fd00::9) with
// identifier 0x1234 and sequence 1.
const Bytes kTarget4 = {10, 0, 0, 9};
const Bytes kOther4 = {10, 0, 0, 8};
const Bytes kTarget6 = {0xfd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9};

Bytes Icmp(int type, int code, std::uint16_t id, std::uint16_t sequence, const Bytes& body = {}) {
    Bytes icmp = {static_cast<std::uint8_t>(type),
                  static_cast<std::uint8_t>(code),
                  0,
                  0,
                  static_cast<std::uint8_t>(id >> 8),
                  static_cast<std::uint8_t>(id),
                  static_cast<std::uint8_t>(sequence >> 8),
                  static_cast<std::uint8_t>(sequence)};
    icmp.insert(icmp.end(), body.begin(), body.end());
    return icmp;
}

Bytes Ip4(const Bytes& from, const Bytes& to, const Bytes& payload, std::uint8_t ttl = 64) {
    Bytes ip = {0x45, 0, 0, 0, 0, 0, 0, 0, ttl, 1, 0, 0};
    ip.insert(ip.end(), from.begin(), from.end());
    ip.insert(ip.end(), to.begin(), to.end());
    ip.insert(ip.end(), payload.begin(), payload.end());
    return ip;
}

Bytes Ip6(const Bytes& to, const Bytes& payload) {
    Bytes ip(40, 0);
    ip[0] = 0x60;
    ip[6] = 58;
    std::copy(to.begin(), to.end(), ip.begin() + 24);
    ip.insert(ip.end(), payload.begin(), payload.end());
    return ip;
}

TEST(PingClassifier, WhatArrives) {
    const Bytes me = {10, 0, 0, 1};
    const Bytes ours = Icmp(8, 0, 0x1234, 1);
    struct Case {
        const char* what;
        bool ipv6;
        bool raw;
        Bytes packet;
        Bytes from;
        Verdict::Kind kind;
        int ttl;
    };
    const Case cases[] = {
        {"raw reply", false, true, Ip4(kTarget4, me, Icmp(0, 0, 0x1234, 1), 57), kTarget4,
         Verdict::Kind::Reply, 57},
        {"raw reply to another's request", false, true, Ip4(kTarget4, me, Icmp(0, 0, 0x4321, 1)),
         kTarget4, Verdict::Kind::Foreign, -1},
        {"datagram reply, id the kernel's", false, false, Icmp(0, 0, 0x0077, 1), kTarget4,
         Verdict::Kind::Reply, -1},
        {"reply to an older request", false, false, Icmp(0, 0, 0x1234, 2), kTarget4,
         Verdict::Kind::Foreign, -1},
        {"reply from another host", false, false, Icmp(0, 0, 0x1234, 1), kOther4,
         Verdict::Kind::Foreign, -1},
        {"our own request, seen by a raw socket", false, true, Ip4(me, kTarget4, ours), me,
         Verdict::Kind::Foreign, -1},
        {"unreachable, quoting our request", false, true,
         Ip4(kOther4, me, Icmp(3, 1, 0, 0, Ip4(me, kTarget4, ours))), kOther4, Verdict::Kind::Error,
         -1},
        {"unreachable, quoting a request elsewhere", false, true,
         Ip4(kOther4, me, Icmp(3, 1, 0, 0, Ip4(me, kOther4, ours))), kOther4,
         Verdict::Kind::Foreign, -1},
        {"unreachable, quoting another's request", false, true,
         Ip4(kOther4, me, Icmp(3, 1, 0, 0, Ip4(me, kTarget4, Icmp(8, 0, 0x1234, 2)))), kOther4,
         Verdict::Kind::Foreign, -1},
        {"unreachable, cut short", false, true, Ip4(kOther4, me, Icmp(3, 1, 0, 0, {0x45, 0})),
         kOther4, Verdict::Kind::Foreign, -1},
        {"an echo request dressed as an error", false, true,
         Ip4(kOther4, me, Icmp(8, 0, 0, 0, Ip4(me, kTarget4, ours))), kOther4,
         Verdict::Kind::Foreign, -1},
        {"an IP header that claims no length", false, true, Bytes{0x40, 0, 0, 0, 0, 0, 0, 0, 64},
         kTarget4, Verdict::Kind::Foreign, -1},
        {"seven bytes", false, false, Bytes(7, 0), kTarget4, Verdict::Kind::Foreign, -1},
        {"IPv6 reply", true, true, Icmp(129, 0, 0x1234, 1), kTarget6, Verdict::Kind::Reply, -1},
        {"IPv6 echo request", true, true, Icmp(128, 0, 0x1234, 1), kTarget6, Verdict::Kind::Foreign,
         -1},
        {"IPv6 unreachable, quoting our request", true, true,
         Icmp(1, 3, 0, 0, Ip6(kTarget6, Icmp(128, 0, 0x1234, 1))), kTarget6, Verdict::Kind::Error,
         -1},
        {"IPv6 unreachable on a datagram socket", true, false,
         Icmp(1, 3, 0, 0, Ip6(kTarget6, Icmp(128, 0, 0x1234, 1))), kTarget6, Verdict::Kind::Foreign,
         -1},
    };
    for (const Case& c : cases) {
        const Request request{c.ipv6, 0x1234, 1, c.ipv6 ? kTarget6 : kTarget4};
        const Verdict verdict = Classify({c.packet, c.from, c.raw}, request);
        EXPECT_EQ(verdict.kind, c.kind) << c.what;
        if (verdict.kind == Verdict::Kind::Reply) {
            EXPECT_EQ(verdict.ttl, c.ttl) << c.what;
        }
    }
    const Verdict error =
        Classify({Ip4(kOther4, me, Icmp(11, 0, 0, 0, Ip4(me, kTarget4, ours))), kOther4, true},
                 {false, 0x1234, 1, kTarget4});
    EXPECT_EQ(ErrorText(false, error.type, error.code), "TTL expired in transit.");
    EXPECT_EQ(ErrorText(true, 1, 0), "Destination net unreachable.");
    EXPECT_EQ(ErrorText(false, 3, 13), "Destination prohibited.");
}

} // namespace
