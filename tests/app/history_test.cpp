// What the board keeps of each host's answers: when a state begins, when a
// change is told, what the name's tip says of it, and the change log's file.

#include "app/ChangeLog.h"
#include "app/SlotState.h"
#include "platform/files.h"
#include "platform/gui/App.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;
using testing_support::ReadFileBytes;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

const auto kStart = SlotState::Clock::now();

// The slot's answers, a sweep each five seconds from kStart: the sweeps at
// which a state began, and those at which a change was to be told.
struct Told {
    std::vector<int> began;
    std::vector<int> announced;
};
Told Sweeps(SlotState& slot, const std::vector<bool>& answers, const std::string& address = "h") {
    Told told;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const auto outcome = slot.Record(address, answers[i], answers[i] ? "5" : "",
                                         kStart + std::chrono::seconds(5 * i));
        if (outcome.bNewState) {
            told.began.push_back(static_cast<int>(i));
        }
        if (outcome.bAnnounce) {
            told.announced.push_back(static_cast<int>(i));
        }
    }
    return told;
}

TEST(SlotState, AChangeIsToldOnceItHasHeldForTwoSweeps) {
    SlotState slot;
    // On from the start; one lost reply; two in a row; back for good.
    auto told = Sweeps(slot, {true, true, false, true, true, false, false, false, true, true});
    EXPECT_EQ(told.began, (std::vector<int>{0, 2, 3, 5, 8}));
    EXPECT_EQ(told.announced, (std::vector<int>{6, 9}));
    EXPECT_EQ(slot.Since(), kStart + 40s) << "the first sweep of the present state";
    EXPECT_EQ(slot.RoundTrip(), "5");

    // A stray reply from a host that is off is none either; flapping never
    // holds.
    told = Sweeps(slot, {false, false, true, false, true, false, true});
    EXPECT_EQ(told.announced, std::vector<int>{1});
    EXPECT_TRUE(slot.Online());

    // The state a host is first found in is no change, nor is it at a new
    // address; a change there is told as anywhere.
    SlotState fresh;
    EXPECT_TRUE(Sweeps(fresh, {false, true, true, false}).announced.empty());
    EXPECT_FALSE(fresh.Online());
    EXPECT_EQ(fresh.RoundTrip(), "") << "no round trip while off";
    told = Sweeps(fresh, {true, true, false, false}, "other");
    EXPECT_EQ(told.began, (std::vector<int>{0, 2}));
    EXPECT_EQ(told.announced, std::vector<int>{3});
    EXPECT_TRUE(fresh.CheckedAt("other"));
    EXPECT_FALSE(fresh.CheckedAt("h"));
}

TEST(SlotState, TheRoundTripIsTheReplyLines) {
    EXPECT_EQ(RoundTripOf("\r\nPinging h:\r\nReply from 10.0.0.1: bytes=32 time=23ms TTL=64\r\n"),
              "23");
    EXPECT_EQ(RoundTripOf("Reply from ::1: time<1ms\r\n"), "<1");
    EXPECT_EQ(RoundTripOf("Reply from 10.0.0.1: Destination host unreachable.\r\n"), "");
    EXPECT_EQ(RoundTripOf("Request timed out.\r\n"), "");
    EXPECT_EQ(RoundTripOf("Reply from h: time=ms"), "");
    EXPECT_EQ(RoundTripOf("Reply from h: time=12s"), "");
    EXPECT_EQ(RoundTripOf(""), "");
}

TEST(SlotState, TheTipSaysHowFastAndSinceWhen) {
    SlotState slot;
    const auto now = SlotState::Clock::now();
    EXPECT_EQ(StateText(slot, "h", now, true), "not checked yet");
    slot.Record("h", true, "23", now);
    const std::string sAt = LocaleTimeText(ToLocalTime(now), false);
    EXPECT_EQ(StateText(slot, "h", now, true), "online, 23 ms, since " + sAt);
    EXPECT_EQ(StateText(slot, "h", now, false), "online since " + sAt);
    EXPECT_EQ(StateText(slot, "other", now, true), "not checked yet");
    slot.Record("h", true, "<1", now + 5s);
    EXPECT_EQ(StateText(slot, "h", now, true), "online, <1 ms, since " + sAt);
    slot.Record("h", true, "", now + 10s);
    EXPECT_EQ(StateText(slot, "h", now, true), "online since " + sAt) << "a reply with no time";

    // A state that began before today gives its day.
    const auto before = now - 48h;
    SlotState old;
    old.Record("h", false, "", before);
    const std::string sThen = LocaleTimeText(ToLocalTime(before), true);
    EXPECT_EQ(StateText(old, "h", now, true), "offline since " + sThen);
    EXPECT_NE(sThen, LocaleTimeText(ToLocalTime(before), false));
}

ChangeLog::Change At(int hour, int offsetMinutes, int nSlot, std::string sName, bool bOnline) {
    return {{2024, 6, 3, hour, 2, 7, offsetMinutes},
            nSlot,
            std::move(sName),
            "10.0.0.1",
            bOnline,
            bOnline ? "23" : ""};
}

TEST(ChangeLog, EachChangeIsOneLineOfTabbedFields) {
    EXPECT_EQ(ChangeLog::Line(At(14, 120, 3, "router", true)),
              "2024-06-03T14:02:07+02:00\t3\trouter\t10.0.0.1\ton\t23\n");
    EXPECT_EQ(ChangeLog::Line(At(9, -330, 12, "r", false)),
              "2024-06-03T09:02:07-05:30\t12\tr\t10.0.0.1\toff\t\n");
    EXPECT_EQ(ChangeLog::Line(At(9, 0, 1, "r", false)).substr(0, 26),
              "2024-06-03T09:02:07+00:00\t");
    // Nothing in a name or an address leaves its field or its line.
    EXPECT_EQ(ChangeLog::Escape("a\tb\nc\rd\\e\x1b"
                                "f\x7fg\x01h héllo"),
              "a\\tb\\nc\\rd\\\\e\\x1bf\\x7fg\\x01h héllo");
    const std::string line = ChangeLog::Line(At(14, 60, 1, "two\nlines\tand\rmore", true));
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 5);
}

TEST(ChangeLog, BeginsWithAHeaderAndRotatesAtItsLimit) {
    const TempDir dir;
    const std::string path = dir / "state/netvigil/changes.log";
    ChangeLog log(path);
    log.Append(At(14, 60, 1, "one", true));
    log.Append(At(15, 60, 1, "one", false));
    const std::string header(ChangeLog::kHeader);
    EXPECT_EQ(ReadFileBytes(path), header + ChangeLog::Line(At(14, 60, 1, "one", true)) +
                                       ChangeLog::Line(At(15, 60, 1, "one", false)))
        << "the missing folders made";

    // A line that would take the file past its limit goes to a new one; the
    // old one is kept as .1, in place of the one before it.
    WriteFileBytes(path + ".1", "older\n");
    const std::string full =
        header + std::string(ChangeLog::kLimit - header.size() - 20, 'x') + "\n";
    WriteFileBytes(path, full);
    const std::string next = ChangeLog::Line(At(16, 60, 2, "two", true));
    log.Append(At(16, 60, 2, "two", true));
    EXPECT_EQ(ReadFileBytes(path + ".1"), full);
    EXPECT_EQ(ReadFileBytes(path), header + next);
    log.Append(At(16, 60, 2, "two", true));
    EXPECT_EQ(ReadFileBytes(path), header + next + next) << "room left: no new file";
}

// The log lives in the user's state folder: XDG_STATE_HOME when it is an
// absolute path, else ~/.local/state.
TEST(ChangeLog, LivesInTheUsersStateFolder) {
    const ScopedEnv home("HOME", "/home/someone");
    for (const auto& [state, folder] :
         std::vector<std::pair<std::optional<std::string>, std::string>>{
             {"/var/state", "/var/state"},
             {"relative/state", "/home/someone/.local/state"},
             {"", "/home/someone/.local/state"},
             {std::nullopt, "/home/someone/.local/state"}}) {
        const ScopedEnv xdg("XDG_STATE_HOME", state);
        EXPECT_EQ(StateFilePath("changes.log"), folder + "/netvigil/changes.log");
    }
}

// Where it cannot be written the log says so once, and the lines are lost.
TEST(ChangeLog, AnUnwritableLogSaysSoOnce) {
    const TempDir dir;
    WriteFileBytes(dir / "file", "");
    ChangeLog log(dir / "file/netvigil/changes.log");
    ::testing::internal::CaptureStderr();
    log.Append(At(14, 60, 1, "one", true));
    log.Append(At(15, 60, 1, "one", false));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "Netvigil: cannot write the change log " + dir / "file/netvigil/changes.log" +
                        "; the board carries on without it.\n");
}

} // namespace
