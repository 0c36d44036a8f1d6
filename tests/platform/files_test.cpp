// The files Netvigil keeps as it runs: appending whole lines, sizes, renaming
// over an older file, making folders; and the local time its lines carry.

#include "platform/clock.h"
#include "platform/files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

using namespace platform;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

TEST(Files, AppendSizeAndRename) {
    const TempDir dir;
    const std::string log = dir / "a/b/c/changes.log";
    EXPECT_FALSE(FileSize(log).has_value());
    EXPECT_FALSE(AppendToFile(log, "x\n")) << "its folder is missing";
    ASSERT_TRUE(CreateFolderFor(log));
    EXPECT_TRUE(CreateFolderFor(log)) << "made already";
    ASSERT_TRUE(AppendToFile(log, "one\n"));
    ASSERT_TRUE(AppendToFile(log, "two\tfields\n"));
    EXPECT_EQ(ReadFileBytes(log), "one\ntwo\tfields\n");
    EXPECT_EQ(FileSize(log), 15u);
    EXPECT_FALSE(FileSize(dir / "a").has_value()) << "a folder has no size";

    WriteFileBytes(log + ".1", "older\n");
    ASSERT_TRUE(RenameFile(log, log + ".1"));
    EXPECT_EQ(ReadFileBytes(log + ".1"), "one\ntwo\tfields\n");
    EXPECT_FALSE(FileSize(log).has_value());
    EXPECT_FALSE(RenameFile(log, log + ".1")) << "nothing to rename";

    // Where a file stands in for a folder, nothing can be made or written.
    WriteFileBytes(dir / "file", "");
    EXPECT_FALSE(CreateFolderFor(dir / "file/netvigil/changes.log"));
    EXPECT_FALSE(AppendToFile(dir / "file/changes.log", "x\n"));
    EXPECT_TRUE(StateFilePath("changes.log").ends_with("changes.log"));
}

// The local time less its offset is the moment in UTC.
TEST(Files, TheLocalTimeKeepsItsOffset) {
    using namespace std::chrono;
    // 2024-06-03T14:02:07Z and a winter's day.
    for (const sys_seconds moment : {sys_days{2024y / June / 3} + 14h + 2min + 7s,
                                     sys_days{2023y / December / 31} + 23h + 59min + 59s}) {
        const LocalTime local = ToLocalTime(moment);
        const sys_seconds wall = sys_days{year(local.year) / local.month / local.day} +
                                 hours(local.hour) + minutes(local.minute) + seconds(local.second);
        EXPECT_EQ(wall - minutes(local.offsetMinutes), moment);
        EXPECT_LE(std::abs(local.offsetMinutes), 14 * 60);
    }
}

} // namespace
