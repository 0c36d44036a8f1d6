// A long run of the whole main window: 2,000 sweeps at a short interval, the
// timer, the tray tooltip and the store all at work, in a private network
// namespace with every host answering on loopback. Records open descriptors,
// child processes, memory (RSS) and the store's size at the start and at the
// end; none may grow.

#include "app/frmMain.h"
#include "longrun_verdict.h"
#include "platform/gui/App.h"
#include "platform/settings_store.h"
#include "settings/Settings.h"
#include "test_support.h"

#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

long RssKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string why;
    if (!testing_support::EnterPrivateNetwork(&why)) {
        std::fprintf(stderr, "longrun_bench: %s (run it as root)\n", why.c_str());
        return 2;
    }
    const int sweeps = argc > 1 ? std::atoi(argv[1]) : 2000;
    testing_support::TempDir dir;
    const std::string store = dir / "registry.db";
    ::setenv("NETVIGIL_REGISTRY", store.c_str(), 1);
    for (int n = 1; n <= 20; ++n) {
        platform::SaveSetting(settings::kAppName, settings::kRemoteHosts, settings::HostKey(n),
                              "host " + std::to_string(n));
        platform::SaveSetting(settings::kAppName, settings::kRemoteHosts, settings::AddressKey(n),
                              "127.0.0." + std::to_string(n));
    }
    QApplication app(argc, argv);
    platform::SetCommand("");
    auto* main = new frmMain;
    main->Load();
    main->tmrPING.SetInterval(1);
    const auto sample = [&] {
        return LongRunSample{testing_support::OpenDescriptorCount(),
                             testing_support::ChildProcessCount(), RssKiB(),
                             std::filesystem::file_size(store)};
    };
    // The first sweeps settle what is made once (the runner, caches).
    int done = 0;
    main->tmrPING.OnTimer = [&] {
        main->PingHosts();
        ++done;
        // The options window's reload, now and then, as a user would cause.
        if (done % 100 == 0) {
            main->LoadSettings();
        }
    };
    while (done < 20) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    testing_support::WaitForChildCount(0);
    const LongRunSample start = sample();
    while (done < 20 + sweeps) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    main->tmrPING.SetEnabled(false);
    testing_support::WaitForChildCount(0);
    const LongRunSample end = sample();
    std::printf("%d sweeps of 20 hosts (after 20 to settle):\n", sweeps);
    std::printf("    %-22s %10s %10s\n", "", "start", "end");
    std::printf("    %-22s %10d %10d\n", "open descriptors", start.descriptors, end.descriptors);
    std::printf("    %-22s %10d %10d\n", "child processes", start.children, end.children);
    std::printf("    %-22s %10ld %10ld\n", "memory (RSS, KiB)", start.rssKiB, end.rssKiB);
    std::printf("    %-22s %10ju %10ju\n", "store size (bytes)", start.storeBytes, end.storeBytes);
    const bool flat = Flat(start, end);
    std::printf("    nothing grew (RSS within 2 MiB): %s\n", flat ? "yes" : "NO");
    main->Unload();
    return flat ? 0 : 1;
}
