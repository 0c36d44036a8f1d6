// Our ping on either system, in a private network namespace: 127.0.0.1
// answers at once, and hosts of the test's own beside it answer late or
// never, as far hosts do. Each case runs for every echo method the system's
// ping has.

#include "ping_test.h"

#include "late_hosts.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

using namespace testing_support;
using namespace std::chrono;

void Ping::SetUp() {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    if (GetParam() == "system" && !std::filesystem::exists("/usr/bin/ping")) {
        GTEST_SKIP() << "no system ping (Debian package iputils-ping)";
    }
    // Unprivileged echo sockets for everyone, so the datagram way can be tried.
    WriteSysctl("net.ipv4.ping_group_range", "0 2147483647");
    WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0");
}

namespace {

// The milliseconds a reply line gives ("time=30ms"; "time<1ms" is 0), or -1.
long ReplyTime(const std::string& out) {
    const auto at = out.find("time");
    if (at == std::string::npos || at + 5 >= out.size()) {
        return -1;
    }
    return out[at + 4] == '<' ? 0 : std::atol(out.c_str() + at + 5);
}

TEST_P(Ping, AnsweringHostGetsReplyLines) {
    ProgramResult r = RunPing({"-n", "1", "-w", "8", "127.0.0.1"}, GetParam());
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(r.out.starts_with("\nPinging 127.0.0.1 with 32 bytes of data:\n"
                                  "Reply from 127.0.0.1: bytes=32 time"))
        << r.out;
    EXPECT_NE(r.out.find("TTL=64\n\nPing statistics for 127.0.0.1:\n"
                         "    Packets: Sent = 1, Received = 1, Lost = 0 (0% loss),\n"
                         "Approximate round trip times in milli-seconds:\n    Minimum = "),
              std::string::npos)
        << r.out;

    r = RunPing({"-n", "2", "-w", "50", "localhost"}, GetParam());
    EXPECT_NE(r.out.find("Pinging localhost [127.0.0.1] with 32 bytes of data:"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Sent = 2, Received = 2"), std::string::npos) << r.out;

    r = RunPing({"-6", "-n", "1", "-w", "50", "::1"}, GetParam());
    if (WineDiffers("no ICMPv6 echo: Icmp6CreateFile fails")) {
        // As where ICMP cannot be used at all: said, and exit code 2.
        EXPECT_EQ(r.exitCode, 2) << r.out;
        EXPECT_EQ(r.out.find("Reply"), std::string::npos) << r.out;
    } else {
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_NE(r.out.find("Reply from ::1: time"), std::string::npos) << r.out;
    }
}

// A reply counts until half a second has passed, whatever smaller timeout
// is asked, and its time is the true round trip; a host that never answers
// is given up half a second after the request.
TEST_P(Ping, LateRepliesCountWithinHalfASecond) {
    const LateHosts hosts({milliseconds(30), milliseconds(300), milliseconds(700), std::nullopt});
    ASSERT_EQ(hosts.Why(), "");
    // A loaded machine can hold up any one run, never every one: a time
    // that is too long counts only when three runs in a row give one.
    constexpr int kTries = 3;
    ProgramResult r;
    for (const std::size_t i : {0u, 1u}) {
        const long delay = i == 0 ? 30 : 300;
        for (int attempt = 0; attempt < kTries; ++attempt) {
            r = RunPing({"-n", "1", "-w", "8", hosts.Address(i)}, GetParam());
            EXPECT_EQ(r.exitCode, 0) << r.out;
            EXPECT_NE(r.out.find("Reply from " + hosts.Address(i) + ": bytes=32 time="),
                      std::string::npos)
                << r.out;
            EXPECT_GE(ReplyTime(r.out), delay) << r.out;
            if (ReplyTime(r.out) < delay + 150) {
                break;
            }
            EXPECT_LT(attempt, kTries - 1) << r.out;
        }
    }

    r = RunPing({"-n", "1", "-w", "8", hosts.Address(2)}, GetParam());
    EXPECT_EQ(r.out.find("Reply"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Request timed out.\n"), std::string::npos) << r.out;
    r = RunPing({"-n", "1", "-w", "1000", hosts.Address(2)}, GetParam());
    EXPECT_NE(r.out.find("Reply from " + hosts.Address(2)), std::string::npos) << r.out;

    for (int attempt = 0; attempt < kTries; ++attempt) {
        // What starting a ping costs here, which the silent host's time
        // includes.
        auto start = steady_clock::now();
        RunPing({"-n", "1", "-w", "8", "127.0.0.1"}, GetParam());
        const auto overhead = steady_clock::now() - start;
        start = steady_clock::now();
        r = RunPing({"-n", "1", "-w", "8", hosts.Address(3)}, GetParam());
        const auto silent = steady_clock::now() - start;
        EXPECT_GE(silent, milliseconds(450));
        if (silent <= milliseconds(650) + overhead) {
            break;
        }
        EXPECT_LT(attempt, kTries - 1) << duration_cast<milliseconds>(silent).count() << " ms";
    }
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("Reply"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Request timed out.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Sent = 1, Received = 0, Lost = 1 (100% loss),\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Minimum"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, Ping, ::testing::ValuesIn(PingMethods()));

TEST(PingCommandLine, MisuseIsAnsweredWithoutReply) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    struct Case {
        std::vector<std::string> args;
        const char* text;
    };
    const Case cases[] = {
        {{}, "Usage: ping"},
        {{"-n", "1", "-w", "8"}, "IP address must be specified."},
        {{"-t", "127.0.0.1"}, "Bad option -t."},
        {{"-n", "0", "127.0.0.1"}, "Bad value for option -n"},
        {{"-w", "x", "127.0.0.1"}, "Bad value for option -w"},
        {{"-n"}, "Value must be supplied for option -n."},
        {{"127.0.0.1;", "touch", "x"}, "Bad parameter touch."},
        {{"-n", "1", "-w", "8", "no-such-host.invalid"},
         "Ping request could not find host no-such-host.invalid. Please check the name and try "
         "again.\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = RunPing(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.text;
        EXPECT_NE(r.out.find(c.text), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Reply"), std::string::npos);
    }
}

// What an address with blanks adds to the sweep's command line is refused
// before anything is sent, and nothing of it passes for an answer.
TEST(PingCommandLine, OptionsHiddenInAnAddressAreRefused) {
    const std::vector<std::string> cases[] = {
        {"-n", "1", "-w", "8", "127.0.0.1", "-n", "12"},
        {"-n", "1", "-w", "8", "127.0.0.1", "/w", "9000"},
        {"-n", "1", "-w", "8", "-6", "::1", "-4"},
        {"-n", "1", "-w", "8", "Reply", "-n", "2"},
        {"-n", "1", "-w", "8", "127.0.0.1", "Reply"},
        {"-n", "1", "-w", "8", "127.0.0.1", "/Reply"},
    };
    for (const auto& args : cases) {
        const ProgramResult r = RunPing(args);
        EXPECT_EQ(r.exitCode, 1) << args.back();
        EXPECT_EQ((r.out + r.err).find("Reply"), std::string::npos) << r.out << r.err;
        EXPECT_EQ(r.out.find("Pinging"), std::string::npos) << r.out;
    }
    const ProgramResult r = RunPing(cases[0]);
    EXPECT_EQ(r.err, "ping: the option -n is given twice; nothing was sent.\n");
}

} // namespace
