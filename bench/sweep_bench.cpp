// Times a sweep of the board's 20 slots as real hosts answer, in a private
// network namespace: 12 at once, three late (30, 100 and 300 ms) and five
// never. The reference, measured in the same run, is the sum of the same 20
// pings run alone: the waits the sweep cannot avoid. Also measures the
// longest stretch in which the user-interface thread handles no events
// during a sweep, and how soon the board's commands act in the middle of one.
// Prints it all; exits 1 when a goal is missed.

#include "app/frmMain.h"
#include "bench_support.h"
#include "late_hosts.h"
#include "platform/gui/App.h"
#include "platform/qt/Widgets.h"
#include "platform/settings_store.h"
#include "runner/clsRunCommand.h"
#include "settings/Settings.h"
#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using namespace std::chrono;
using bench::Goal;
using bench::Median;
using bench::Ms;

namespace {

constexpr int kRounds = 5;
constexpr double kGoalRatio = 1.05;
constexpr double kGoalGapMs = 20;
constexpr double kGoalCommandMs = 100;

// The slots' addresses: 12 answering at once, then the late and silent hosts.
std::vector<std::string> Addresses(const testing_support::LateHosts& far) {
    std::vector<std::string> addresses;
    for (int n = 1; n <= 12; ++n) {
        addresses.push_back("127.0.0." + std::to_string(n));
    }
    for (std::size_t i = 0; i < 8; ++i) {
        addresses.push_back(far.Address(i));
    }
    return addresses;
}

// The longest time between two ticks of a 1 ms timer while it runs.
class GapProbe {
public:
    GapProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, static_cast<double>(m_since.nsecsElapsed()) / 1e6);
            m_since.restart();
        });
    }
    void Start() {
        m_longest = 0;
        m_since.start();
        m_timer.start();
    }
    double Stop() {
        m_timer.stop();
        return m_longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    double m_longest = 0;
};

// A command clicked at a moment of the sweep, and how long after that moment
// its effect was there. One that runs a loop of its own (a menu, a modal
// window) has its effect once the loop runs; that loop is then closed.
struct Command {
    const char* name;
    int at; // ms into the sweep
    std::function<void()> act;
    bool loops = false;
    double took = -1;
};

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const testing_support::LateHosts far({milliseconds(30), milliseconds(100), milliseconds(300),
                                          std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                          std::nullopt});
    if (!far.Why().empty()) {
        std::fprintf(stderr, "sweep_bench: %s (run it as root)\n", far.Why().c_str());
        return 2;
    }
    testing_support::TempDir dir;
    ::setenv("NETVIGIL_REGISTRY", (dir / "registry.db").c_str(), 1);
    const std::vector<std::string> addresses = Addresses(far);
    for (int n = 1; n <= 20; ++n) {
        platform::SaveSetting(settings::kAppName, settings::kRemoteHosts, settings::HostKey(n),
                              "host " + std::to_string(n));
        platform::SaveSetting(settings::kAppName, settings::kRemoteHosts, settings::AddressKey(n),
                              addresses[static_cast<std::size_t>(n - 1)]);
    }
    QApplication app(argc, argv);
    auto* board = new frmMain;
    board->Load();
    board->tmrPING.SetEnabled(false);
    const std::string first = board->PingHosts();
    if (first.find("host 15 is on.\r") == std::string::npos ||
        first.find("host 16 is off.\r") == std::string::npos) {
        std::fprintf(stderr, "sweep_bench: the test hosts are not as they should be:\n%s\n",
                     first.c_str());
        return 2;
    }

    GapProbe probe;
    std::vector<double> sweeps;
    std::vector<double> alone;
    std::vector<double> gaps;
    clsRunCommand run;
    for (int round = 0; round < kRounds; ++round) {
        probe.Start();
        const auto start = steady_clock::now();
        board->PingHosts();
        sweeps.push_back(Ms(steady_clock::now() - start));
        gaps.push_back(probe.Stop());

        // Not from the board's thread: these reads block, as the reference.
        double sum = 0;
        std::thread([&] {
            for (const std::string& address : addresses) {
                const auto one = steady_clock::now();
                run.GetRtnText("ping -n 1 -w 8 " + address, "Reply", 0, 0);
                sum += Ms(steady_clock::now() - one);
            }
        }).join();
        alone.push_back(sum);
    }

    // The commands in the middle of one sweep, each at its moment; Exit last.
    QElapsedTimer clock;
    const auto now = [&clock] { return static_cast<double>(clock.nsecsElapsed()) / 1e6; };
    const float trayRightClick = static_cast<float>(0x205 * board->TwipsPerPixelX());
    std::vector<Command> commands = {
        {"Stop", 100, [&] { board->mnuStop->Click(); }},
        {"Resume", 300, [&] { board->mnuResume->Click(); }},
        {"Tray", 500, [&] { board->mnuTray->Click(); }},
        {"tray menu", 700, [&] { board->RaiseMouseMove(0, 0, trayRightClick, 0); }, true},
        {"Options", 1200, [&] { board->mnuOptions->Click(); }, true},
        {"Exit", 1800, [&] { board->mnpExit->Click(); }},
    };
    for (Command& command : commands) {
        QTimer::singleShot(command.at, [&command, &now] {
            if (!command.loops) {
                command.act();
                command.took = now() - command.at;
                return;
            }
            QTimer::singleShot(0, [&command, &now] {
                command.took = now() - command.at;
                if (QWidget* menu = QApplication::activePopupWidget()) {
                    menu->close();
                } else if (QWidget* window = QApplication::activeModalWidget()) {
                    window->close();
                }
            });
            command.act();
        });
    }
    clock.start();
    board->PingHosts();
    const double ended = now() - commands.back().at;
    platform::DoEvents();

    const double sweep = Median(sweeps);
    const double reference = Median(alone);
    const double gap = *std::max_element(gaps.begin(), gaps.end());
    std::printf("Sweep of 20 slots (12 answering at once, 30, 100 and 300 ms, five silent; -w 8),"
                " median of %d:\n",
                kRounds);
    std::printf("    PingHosts                   %8.2f ms\n", sweep);
    std::printf("    the 20 pings alone, summed  %8.2f ms\n", reference);
    std::printf("    ratio                       %8.3f\n", sweep / reference);
    bool met = Goal("ratio", sweep / reference, kGoalRatio);
    std::printf("Longest time the UI thread handled no events during a sweep (of %d): %.2f ms\n",
                kRounds, gap);
    met &= Goal("longest gap ms", gap, kGoalGapMs);
    std::puts("Commands in the middle of a sweep, from their moment to their effect:");
    double slowest = 0;
    for (const Command& command : commands) {
        std::printf("    %-10s %8.2f ms\n", command.name, command.took);
        slowest = std::max(slowest, command.took < 0 ? 1e9 : command.took);
    }
    std::printf("    (after Exit, the sweep ended %.2f ms later: the ping it waited for)\n", ended);
    met &= Goal("slowest command ms", slowest, kGoalCommandMs);
    return met ? 0 : 1;
}
