// Our ping.exe, in the private network namespace wine-run starts it in:
// 127.0.0.1 answers until echo replies are switched off.

#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace testing_support;

namespace {

// Windows ends its lines with a carriage return; the texts are compared
// without them.
ProgramResult Ping(const std::vector<std::string>& args) {
    ProgramResult r = RunProgram("ping", args);
    std::erase(r.out, '\r');
    return r;
}

class PingExe : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!EnterPrivateNetwork(&why)) {
            GTEST_SKIP() << why;
        }
        ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0"));
    }
};

TEST_F(PingExe, AnsweringHostGetsReplyLines) {
    ProgramResult r = Ping({"-n", "1", "-w", "8", "127.0.0.1"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(r.out.starts_with("\nPinging 127.0.0.1 with 32 bytes of data:\n"
                                  "Reply from 127.0.0.1: bytes=32 time"))
        << r.out;
    EXPECT_NE(r.out.find("\n\nPing statistics for 127.0.0.1:\n"
                         "    Packets: Sent = 1, Received = 1, Lost = 0 (0% loss),\n"
                         "Approximate round trip times in milli-seconds:\n    Minimum = "),
              std::string::npos)
        << r.out;

    r = Ping({"-n", "2", "-w", "50", "localhost"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Pinging localhost [127.0.0.1] with 32 bytes of data:"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Sent = 2, Received = 2"), std::string::npos) << r.out;

    r = Ping({"-6", "-n", "1", "-w", "50", "::1"});
    if (WineDiffers("no ICMPv6 echo: Icmp6CreateFile fails")) {
        // As where ICMP cannot be used at all: said, and exit code 2.
        EXPECT_EQ(r.exitCode, 2) << r.out;
        EXPECT_EQ(r.out.find("Reply"), std::string::npos) << r.out;
    } else {
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_NE(r.out.find("Reply from ::1: time"), std::string::npos) << r.out;
    }
}

TEST_F(PingExe, SilentHostTimesOutOnTime) {
    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "1"));
    auto start = std::chrono::steady_clock::now();
    ProgramResult r = Ping({"-n", "1", "-w", "8", "127.0.0.1"});
    // A correctness check, not a speed goal (the benchmark measures that):
    // the wait is the 8 ms asked for, not the seconds of a default.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("Reply"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Request timed out.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Sent = 1, Received = 0, Lost = 1 (100% loss),\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Minimum"), std::string::npos);

    start = std::chrono::steady_clock::now();
    Ping({"-n", "1", "-w", "600", "127.0.0.1"});
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
}

TEST_F(PingExe, MisuseAndUnknownHostsAreAnsweredWithoutReply) {
    struct Case {
        std::vector<std::string> args;
        const char* text;
    };
    const Case cases[] = {
        {{}, "Usage: ping"},
        {{"-n", "1", "-w", "8"}, "IP address must be specified."},
        {{"-t", "127.0.0.1"}, "Bad option -t."},
        {{"-n", "0", "127.0.0.1"}, "Bad value for option -n"},
        {{"127.0.0.1;", "touch", "x"}, "Bad parameter touch."},
        {{"-n", "1", "-w", "8", "no-such-host.invalid"},
         "Ping request could not find host no-such-host.invalid. Please check the name and try "
         "again.\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = Ping(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.text;
        EXPECT_NE(r.out.find(c.text), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Reply"), std::string::npos);
    }
}

} // namespace
