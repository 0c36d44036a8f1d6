// Times Netvigil's ping.exe under Wine, in the private network namespace that
// wine-run --private-network starts it in, against references measured in
// the same run. Goals: the echo call itself, IcmpSendEcho2 with 8 ms, on a
// silent 127.0.0.1 within 8 ms + 4 ms; and ping -w 8 of it waiting the half
// second a late reply is given, and no longer, seen as
// ping.exe through clsRunCommand, each silent run paired with an answering
// run just before it: the difference is the wait, with what starting a
// process under Wine costs (tens of milliseconds, and noisy) taken out.
// For scale, Wine's own ping.exe of the answering host. Prints medians;
// exits 1 when a goal is missed.

#include "bench_support.h"
#include "runner/clsRunCommand.h"
#include "test_support.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace std::chrono;
using bench::Goal;
using bench::MedianMs;

int main() {
    std::string why;
    if (!testing_support::EnterPrivateNetwork(&why) ||
        !testing_support::WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0")) {
        std::fprintf(stderr, "ping_bench: %s\n", why.c_str());
        return 2;
    }
    clsRunCommand run;
    const auto ping = [&](const std::string& line) { return run.GetRtnText(line, "Reply", 0, 0); };
    const std::string ours = "ping -n 1 -w 8 127.0.0.1";
    const std::string wines = "C:\\windows\\system32\\ping.exe -n 1 -w 8 127.0.0.1";
    if (ping(ours).find("Reply from") == std::string::npos ||
        ping(wines).find("Reply from") == std::string::npos) {
        std::fprintf(stderr, "ping_bench: 127.0.0.1 does not answer both pings\n");
        return 2;
    }
    constexpr int kRuns = 41;
    const auto time = [&](const std::string& line) {
        const auto begin = steady_clock::now();
        ping(line);
        return duration<double, std::milli>(steady_clock::now() - begin).count();
    };
    const auto median = [](std::vector<double> times) {
        std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
        return times[kRuns / 2];
    };
    std::vector<double> answering;
    std::vector<double> silent;
    std::vector<double> waits;
    for (int i = 0; i < kRuns; ++i) {
        testing_support::WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0");
        answering.push_back(time(ours));
        testing_support::WriteSysctl("net.ipv4.icmp_echo_ignore_all", "1");
        silent.push_back(time(ours));
        waits.push_back(silent.back() - answering.back());
    }
    if (ping(ours).find("Request timed out.") == std::string::npos) {
        std::fprintf(stderr, "ping_bench: 127.0.0.1 still answers\n");
        return 2;
    }
    const HANDLE icmp = IcmpCreateFile();
    char request[32] = {};
    unsigned char reply[256];
    const IPAddr loopback = htonl(INADDR_LOOPBACK);
    const double call = MedianMs(kRuns, [&] {
        IcmpSendEcho2(icmp, nullptr, nullptr, nullptr, loopback, request, sizeof request, nullptr,
                      reply, sizeof reply, 8);
    });
    IcmpCloseHandle(icmp);
    testing_support::WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0");
    const double reference = MedianMs(kRuns, [&] { ping(wines); });

    bool met = true;
    std::printf("ping -n 1 -w 8 127.0.0.1, echo replies off (medians of %d):\n", kRuns);
    std::printf("  IcmpSendEcho2 with 8 ms:                  %8.2f ms\n", call);
    met &= Goal("the echo call, ms", call, 8 + 4);
    std::printf("  ping.exe through clsRunCommand:           %8.2f ms\n", median(silent));
    std::printf("  less the answering run just before it:    %8.2f ms\n", median(waits));
    // -w 8 waits the half second that a reply may still take.
    met &= Goal("silent less answering, ms", median(waits), 500 + 12);
    std::printf("ping -n 1 -w 8 127.0.0.1, answering:\n");
    std::printf("  ping.exe through clsRunCommand:           %8.2f ms\n", median(answering));
    std::printf("  Wine's own ping.exe, for scale:           %8.2f ms\n", reference);
    return met ? 0 : 1;
}
