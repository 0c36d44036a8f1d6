// Our ping, in a private network namespace: 127.0.0.1 answers until echo
// replies are switched off, and a router namespace of our own answers for a
// network it cannot reach.

#include "test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

std::string PingPath() {
    return BinDir() + "/../libexec/netvigil/ping";
}

class Ping : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        s_network = EnterPrivateNetwork(&s_why);
        // Unprivileged echo sockets for everyone, so the datagram path can be tried.
        s_network = s_network && WriteSysctl("net.ipv4.ping_group_range", "0 2147483647");
    }
    void SetUp() override {
        if (!s_network) {
            GTEST_SKIP() << s_why;
        }
        if (GetParam() == "system" && ::access("/usr/bin/ping", X_OK) != 0) {
            GTEST_SKIP() << "no system ping (Debian package iputils-ping)";
        }
        WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0");
    }
    ProgramResult Run(const std::vector<std::string>& args) {
        return RunProgram(PingPath(), args, {{"NETVIGIL_PING_METHOD", GetParam()}});
    }

    static bool s_network;
    static std::string s_why;
};

bool Ping::s_network = false;
std::string Ping::s_why;

TEST_P(Ping, AnsweringHostGetsReplyLines) {
    ProgramResult r = Run({"-n", "1", "-w", "8", "127.0.0.1"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(r.out.starts_with("\nPinging 127.0.0.1 with 32 bytes of data:\n"
                                  "Reply from 127.0.0.1: bytes=32 time"))
        << r.out;
    EXPECT_NE(r.out.find("TTL=64\n\nPing statistics for 127.0.0.1:\n"
                         "    Packets: Sent = 1, Received = 1, Lost = 0 (0% loss),\n"
                         "Approximate round trip times in milli-seconds:\n    Minimum = "),
              std::string::npos)
        << r.out;

    r = Run({"-n", "1", "-w", "50", "localhost"});
    EXPECT_NE(r.out.find("Pinging localhost [127.0.0.1] with 32 bytes of data:"), std::string::npos)
        << r.out;
    r = Run({"-6", "-n", "1", "-w", "50", "::1"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Reply from ::1: time"), std::string::npos) << r.out;
}

TEST_P(Ping, SilentHostTimesOutOnTime) {
    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "1"));
    auto start = std::chrono::steady_clock::now();
    ProgramResult r = Run({"-n", "1", "-w", "8", "127.0.0.1"});
    // A correctness check, not a speed goal: the wait is the 8 ms asked for,
    // not the whole second some pings round up to.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("Reply"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Request timed out.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Sent = 1, Received = 0, Lost = 1 (100% loss),\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Minimum"), std::string::npos);

    start = std::chrono::steady_clock::now();
    Run({"-n", "1", "-w", "300", "127.0.0.1"});
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST_P(Ping, UnreachableNetworkNeverLooksOnline) {
    // This namespace 10.200.0.1 --veth-- 10.200.0.2 a router namespace that
    // forwards but has no route onwards, so it answers with ICMP errors.
    const std::string router = "nvping" + std::to_string(::getpid());
    const auto ip = [](const std::vector<std::string>& args) {
        const ProgramResult r = RunProgram("/usr/sbin/ip", args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.exitCode == 0;
    };
    const bool ready =
        ip({"netns", "add", router}) &&
        ip({"link", "add", "nv0", "type", "veth", "peer", "name", "nv1", "netns", router}) &&
        ip({"addr", "add", "10.200.0.1/24", "dev", "nv0"}) && ip({"link", "set", "nv0", "up"}) &&
        ip({"route", "add", "10.201.0.0/24", "via", "10.200.0.2"}) &&
        ip({"-n", router, "addr", "add", "10.200.0.2/24", "dev", "nv1"}) &&
        ip({"-n", router, "link", "set", "nv1", "up"}) &&
        ip({"netns", "exec", router, "sysctl", "-qw", "net.ipv4.ip_forward=1"});
    if (ready) {
        ProgramResult r = Run({"-n", "1", "-w", "500", "10.200.0.2"});
        EXPECT_NE(r.out.find("Reply from 10.200.0.2"), std::string::npos) << r.out;
        r = Run({"-n", "1", "-w", "500", "10.201.0.5"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out.find("Reply"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\nDestination net unreachable.\n"), std::string::npos) << r.out;
    }
    RunProgram("/usr/sbin/ip", {"link", "del", "nv0"});
    RunProgram("/usr/sbin/ip", {"netns", "del", router});
}

// 0 is "do not wait" whichever way the request goes; the system's ping
// would take it for "wait for ever".
TEST_P(Ping, ZeroTimeoutDoesNotWait) {
    const ProgramResult r =
        RunProgram("/usr/bin/timeout", {"5", PingPath(), "-n", "1", "-w", "0", "127.0.0.1"},
                   {{"NETVIGIL_PING_METHOD", GetParam()}});
    EXPECT_EQ(r.exitCode, 1) << "124 is a ping that waited: " << r.out;
    EXPECT_NE(r.out.find("Request timed out.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Reply"), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, Ping, ::testing::Values("datagram", "raw", "system"));

TEST(PingCommandLine, MisuseIsAnsweredWithoutReply) {
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
    };
    for (const Case& c : cases) {
        const ProgramResult r = RunProgram(PingPath(), c.args);
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
        const ProgramResult r = RunProgram(PingPath(), args);
        EXPECT_EQ(r.exitCode, 1) << args.back();
        EXPECT_EQ((r.out + r.err).find("Reply"), std::string::npos) << r.out << r.err;
        EXPECT_EQ(r.out.find("Pinging"), std::string::npos) << r.out;
    }
    const ProgramResult r = RunProgram(PingPath(), cases[0]);
    EXPECT_EQ(r.err, "ping: the option -n is given twice; nothing was sent.\n");
}

TEST(PingCommandLine, UnknownHostsAndNoIcmpAccessAreExplained) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    ProgramResult r = RunProgram(PingPath(), {"-n", "1", "-w", "8", "no-such-host.invalid"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Ping request could not find host no-such-host.invalid. Please check the "
                     "name and try again.\n");

    r = RunProgram(PingPath(), {"-n", "1", "-w", "8", "127.0.0.1"},
                   {{"NETVIGIL_PING_METHOD", "none"}});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out.find("Reply"), std::string::npos);
    EXPECT_NE(r.out.find("setcap cap_net_raw+ep"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("net.ipv4.ping_group_range"), std::string::npos) << r.out;
}

TEST(PingCommandLine, DeadResolverCostsAtMostHalfASecond) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    // A name server that takes every question and never answers.
    const int dns = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(dns, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    TempDir dir;
    WriteFileBytes(dir / "resolv.conf", "nameserver 127.0.0.1\n");

    // The resolver's configuration is swapped in a mount namespace of the child's own.
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount((dir / "resolv.conf").c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) !=
                0) {
            ::_exit(99);
        }
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        const std::string ping = PingPath();
        ::execl(ping.c_str(), ping.c_str(), "-n", "1", "-w", "8", "host.netvigil.test", nullptr);
        ::_exit(98);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(dns);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 99) {
        GTEST_SKIP() << "cannot make a mount namespace here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

} // namespace
