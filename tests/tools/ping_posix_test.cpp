// Our ping on Linux: its three ways to send, and what only Linux lets a test
// arrange: a router that answers with errors, a resolver that never answers,
// a machine where no ICMP socket can be opened.

#include "ping_test.h"

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

} // namespace

std::vector<std::string> PingMethods() {
    return {"datagram", "raw", "system"};
}

ProgramResult RunPing(const std::vector<std::string>& args, const std::string& method) {
    std::map<std::string, std::string> env;
    if (!method.empty()) {
        env["NETVIGIL_PING_METHOD"] = method;
    }
    return RunProgram(PingPath(), args, env);
}

namespace {

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
        ProgramResult r = RunPing({"-n", "1", "-w", "500", "10.200.0.2"}, GetParam());
        EXPECT_NE(r.out.find("Reply from 10.200.0.2"), std::string::npos) << r.out;
        r = RunPing({"-n", "1", "-w", "500", "10.201.0.5"}, GetParam());
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

TEST(PingCommandLine, NoIcmpAccessIsExplained) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    const ProgramResult r = RunPing({"-n", "1", "-w", "8", "127.0.0.1"}, "none");
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
