// Times the change log's appends as a sweep makes them: 20 lines, every slot
// changing at once, into a file that grows past its limit and begins again.
// The reference, measured in the same run, is the same 20 lines each forced
// to the disk (fsync), which the log does not do. Prints it all; exits 1 when
// the goal is missed.

#include "app/ChangeLog.h"
#include "bench_support.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "test_support.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using bench::Goal;
using bench::MedianMs;

namespace {

constexpr int kRuns = 1001; // 20,020 lines: past the limit and into a new file
constexpr double kGoalSweepMs = 2;

ChangeLog::Change Change(int n) {
    return {platform::ToLocalTime(std::chrono::system_clock::now()),
            n,
            "host number " + std::to_string(n),
            "192.168.100." + std::to_string(n),
            n % 2 == 0,
            n % 2 == 0 ? "23" : ""};
}

} // namespace

int main() {
    const testing_support::TempDir dir;
    ChangeLog log(dir / "netvigil/changes.log");
    const double appended = MedianMs(kRuns, [&] {
        for (int n = 1; n <= 20; ++n) {
            log.Append(Change(n));
        }
    });
    const std::string synced = dir / "synced.log";
    const double forced = MedianMs(kRuns, [&] {
        for (int n = 1; n <= 20; ++n) {
            const std::string line = ChangeLog::Line(Change(n));
            const int fd = ::open(synced.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
            const bool written =
                ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
            ::fsync(fd);
            ::close(fd);
            if (!written) {
                std::fprintf(stderr, "cannot write %s\n", synced.c_str());
            }
        }
    });
    std::printf("the change log, 20 lines (a sweep in which every slot changes), median of %d:\n"
                "  appended: %.3f ms; each forced to the disk: %.3f ms (ratio %.3f)\n",
                kRuns, appended, forced, appended / forced);
    const bool rotated = platform::FileSize(dir / "netvigil/changes.log.1").has_value();
    std::printf("  rotated past %llu bytes: %s\n",
                static_cast<unsigned long long>(ChangeLog::kLimit), rotated ? "yes" : "NO");
    return Goal("20 appends, ms", appended, kGoalSweepMs) && rotated ? 0 : 1;
}
