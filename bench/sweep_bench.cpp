// Times a sweep of the board's 20 slots (10 answering, 10 silent) in a private
// network namespace against the same 20 pings run alone in the same run, and
// measures the longest stretch in which the user-interface thread handles no
// events during a sweep. Prints both; exits 1 when a goal is missed.

#include "app/frmMain.h"
#include "platform/settings_store.h"
#include "runner/clsRunCommand.h"
#include "settings/Settings.h"
#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace std::chrono;
using testing_support::RunProgram;

namespace {

constexpr const char* kSilent = "10.200.0.2";

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

double Ms(steady_clock::duration d) {
    return duration<double, std::milli>(d).count();
}

// A host of our own that takes echo requests and never answers them.
bool MakeSilentHost(const std::string& name) {
    const auto ip = [](const std::vector<std::string>& args) {
        return RunProgram("/usr/sbin/ip", args).exitCode == 0;
    };
    return ip({"netns", "add", name}) &&
           ip({"link", "add", "nvb0", "type", "veth", "peer", "name", "nvb1", "netns", name}) &&
           ip({"addr", "add", "10.200.0.1/24", "dev", "nvb0"}) &&
           ip({"link", "set", "nvb0", "up"}) &&
           ip({"-n", name, "addr", "add", std::string(kSilent) + "/24", "dev", "nvb1"}) &&
           ip({"-n", name, "link", "set", "nvb1", "up"}) &&
           ip({"netns", "exec", name, "sysctl", "-qw", "net.ipv4.icmp_echo_ignore_all=1"});
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string why;
    if (!testing_support::EnterPrivateNetwork(&why)) {
        std::fprintf(stderr, "sweep_bench: %s (run it as root)\n", why.c_str());
        return 2;
    }
    const std::string peer = "nvbench" + std::to_string(::getpid());
    const bool ready = MakeSilentHost(peer);
    testing_support::TempDir dir;
    ::setenv("NETVIGIL_REGISTRY", (dir / "registry.db").c_str(), 1);
    std::vector<std::string> lines;
    for (int n = 1; n <= 20; ++n) {
        const std::string address = n <= 10 ? "127.0.0." + std::to_string(n) : kSilent;
        platform::SaveSetting(settings::kAppName, settings::kRemoteHosts, settings::HostKey(n),
                              "host " + std::to_string(n));
        platform::SaveSetting(settings::kAppName, settings::kRemoteHosts, settings::AddressKey(n),
                              address);
        lines.push_back("ping -n 1 -w 8 " + address);
    }
    QApplication app(argc, argv);
    auto* board = new frmMain;
    board->LoadSettings();
    if (!ready || board->PingHosts().find("host 1 is on.\r") == std::string::npos ||
        board->shp(20)->FillColor() != frmMain::kRed) {
        std::fprintf(stderr, "sweep_bench: the test hosts are not as they should be\n");
        RunProgram("/usr/sbin/ip", {"netns", "del", peer});
        return 2;
    }

    // The UI thread's gaps: a 1 ms timer notes how late each of its ticks is.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QElapsedTimer since;
    double longestGap = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, static_cast<double>(since.nsecsElapsed()) / 1e6);
        since.restart();
    });

    constexpr int kRounds = 15;
    std::vector<double> sweeps;
    std::vector<double> alone;
    clsRunCommand run;
    for (int round = 0; round < kRounds; ++round) {
        probe.start();
        since.start();
        const auto start = steady_clock::now();
        board->PingHosts();
        sweeps.push_back(Ms(steady_clock::now() - start));
        probe.stop();

        double sum = 0;
        for (const std::string& line : lines) {
            const auto one = steady_clock::now();
            run.GetRtnText(line, "Reply", 0, 0);
            sum += Ms(steady_clock::now() - one);
        }
        alone.push_back(sum);
    }
    RunProgram("/usr/sbin/ip", {"netns", "del", peer});
    board->Unload();

    const double sweep = Median(sweeps);
    const double reference = Median(alone);
    std::printf("Sweep of 20 slots, 10 answering and 10 silent (-w 8), median of %d:\n", kRounds);
    std::printf("    PingHosts                   %7.2f ms\n", sweep);
    std::printf("    the 20 pings alone, summed  %7.2f ms\n", reference);
    std::printf("    ratio                       %7.2f\n", sweep / reference);
    std::printf("Longest time the UI thread handled no events during a sweep: %.2f ms\n",
                longestGap);
    const bool ratioMet = sweep / reference <= 1.2;
    const bool gapMet = longestGap <= 15.0;
    std::printf("    goal: ratio <= 1.20: %s\n    goal: longest gap <= 15 ms: %s\n",
                ratioMet ? "met" : "MISSED", gapMet ? "met" : "MISSED");
    return ratioMet && gapMet ? 0 : 1;
}
