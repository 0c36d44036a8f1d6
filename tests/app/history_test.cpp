// What the board keeps of each host's answers: when a state begins, when a
// change is told, and what the name's tip says of it.

#include "app/SlotState.h"
#include "platform/App.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

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

} // namespace
