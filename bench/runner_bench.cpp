// Times the sweep's ping through clsRunCommand, in a private network
// namespace, against references measured in the same run:
//   1. our ping of an answering 127.0.0.1 against the system's ping;
//   2. our ping of a silent 127.0.0.1 with -w 8 against the half second
//      that a late reply is waited for;
//   3. the runner alone (posix_spawn) against fork/exec, from a process that
//      holds 1 GiB, as a GUI program grown large would.
// Prints medians and ratios; exits 1 when a goal is missed.

#include "bench_support.h"
#include "runner/clsRunCommand.h"
#include "test_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono;
using bench::Goal;
using bench::MedianMs;

namespace {

// The classic way: fork (copying the page tables of the whole parent), exec,
// read the pipe to its end, wait.
std::string ForkExec(const char* program) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        ::execl(program, program, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return output;
}

} // namespace

int main() {
    std::string why;
    if (!testing_support::EnterPrivateNetwork(&why)) {
        std::fprintf(stderr, "runner_bench: %s (run it as root)\n", why.c_str());
        return 2;
    }
    clsRunCommand run;
    const auto ping = [&](const std::string& line) { return run.GetRtnText(line, "Reply", 0, 0); };
    if (ping("ping -n 1 -w 8 127.0.0.1").find("Reply") == std::string::npos ||
        ping("/usr/bin/ping -c 1 -W 1 127.0.0.1").find("bytes from") == std::string::npos) {
        std::fprintf(stderr,
                     "runner_bench: our ping or /usr/bin/ping (iputils-ping) does not answer\n");
        return 2;
    }
    bool met = true;
    constexpr int kRuns = 300;

    std::puts("Answering 127.0.0.1, through clsRunCommand (median of 300):");
    double ours = 0;
    double system = 0;
    // Interleaved in rounds, so that both see the same machine.
    for (int round = 0; round < 3; ++round) {
        ours += MedianMs(kRuns / 3, [&] { ping("ping -n 1 -w 8 127.0.0.1"); }) / 3;
        system += MedianMs(kRuns / 3, [&] { ping("/usr/bin/ping -c 1 -W 1 127.0.0.1"); }) / 3;
    }
    std::printf("    ours   ping -n 1 -w 8     %7.3f ms\n", ours);
    std::printf("    system ping -c 1 -W 1     %7.3f ms\n", system);
    std::printf("    ratio ours/system         %7.2f\n", ours / system);
    met &= Goal("ratio", ours / system, 0.5);

    std::puts("Silent 127.0.0.1 (echo replies off), ping -n 1 -w 8 (median of 25):");
    testing_support::WriteSysctl("net.ipv4.icmp_echo_ignore_all", "1");
    const double silent = MedianMs(25, [&] { ping("ping -n 1 -w 8 127.0.0.1"); });
    testing_support::WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0");
    std::printf("    ours                      %7.3f ms (500 ms waited)\n", silent);
    met &= Goal("median ms", silent, 500.0 + 12.0);

    std::puts("Runner alone, /bin/true, from a process holding 1 GiB (median of 300):");
    std::vector<char> ballast(std::size_t{1} << 30);
    std::memset(ballast.data(), 1, ballast.size());
    const double spawn = MedianMs(kRuns, [&] { run.GetRtnText("/bin/true", "", 0, 0); });
    const double fork = MedianMs(kRuns, [&] { ForkExec("/bin/true"); });
    std::printf("    posix_spawn (clsRunCommand) %5.3f ms\n", spawn);
    std::printf("    fork/exec reference       %7.3f ms\n", fork);
    std::printf("    ratio spawn/fork          %7.2f\n", spawn / fork);
    met &= Goal("ratio", spawn / fork, 1.0);
    std::printf("(ballast %d)\n", ballast[ballast.size() / 2]);
    return met ? 0 : 1;
}
