#pragma once

// What this run's sweeps found of one slot: the state its light shows and
// since when, the round trip of the last reply, and when a change has held
// long enough to be told.

#include <chrono>
#include <optional>
#include <string>

// The round trip that a ping's reply line gives ("Reply from ...: bytes=32
// time=23ms TTL=64"): "23", or "<1" where it says "time<1ms"; empty when
// the output has no such line.
std::string RoundTripOf(const std::string& sOutput);

class SlotState {
public:
    using Clock = std::chrono::system_clock;

    // What one sweep's result did to the slot.
    struct Outcome {
        // A state begins: the first result at this address, or a change of
        // the light.
        bool bNewState = false;
        // The state has held for two sweeps in a row, and it is not the one
        // that held before: a change to tell. The first state that holds,
        // at start or at a new address, is no change.
        bool bAnnounce = false;
    };

    // One sweep's result for the slot, pinged at sAddress at the moment when.
    Outcome Record(const std::string& sAddress, bool bOnline, const std::string& sRoundTrip,
                   Clock::time_point when);

    // Whether a sweep has pinged the slot at sAddress (a result from another
    // address tells nothing of this one).
    bool CheckedAt(const std::string& sAddress) const { return m_sAddress == sAddress; }
    bool Online() const { return m_bOnline; }
    const std::string& RoundTrip() const { return m_sRoundTrip; }
    // The first sweep of the present state.
    Clock::time_point Since() const { return m_since; }

private:
    std::optional<std::string> m_sAddress;
    bool m_bOnline = false;
    std::string m_sRoundTrip;
    Clock::time_point m_since;
    // The state that last held for two sweeps in a row at this address.
    std::optional<bool> m_bSettled;
};

// How the host at sAddress has answered in this run, as its name's tip says
// it at the moment now: "online, 23 ms, since 14:02", "offline since 13:55"
// or "not checked yet". The time is the user's locale's, after the date when
// the state began before today; the round trip is left out unless asked for.
std::string StateText(const SlotState& state, const std::string& sAddress,
                      SlotState::Clock::time_point now, bool withRoundTrip);
