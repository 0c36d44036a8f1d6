#include "app/SlotState.h"

#include "platform/clock.h"
#include "platform/gui/App.h"

#include <cctype>
#include <string_view>

std::string RoundTripOf(const std::string& sOutput) {
    const auto reply = sOutput.find("Reply");
    if (reply == std::string::npos) {
        return {};
    }
    const std::string_view line =
        std::string_view(sOutput).substr(reply, sOutput.find('\n', reply) - reply);
    const auto time = line.find("time");
    if (time == std::string_view::npos || time + 4 >= line.size()) {
        return {};
    }
    const char relation = line[time + 4];
    std::size_t end = time + 5;
    while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])) != 0) {
        ++end;
    }
    if ((relation != '=' && relation != '<') || end == time + 5 || line.substr(end, 2) != "ms") {
        return {};
    }
    const std::string digits(line.substr(time + 5, end - time - 5));
    return relation == '<' ? "<" + digits : digits;
}

SlotState::Outcome SlotState::Record(const std::string& sAddress, bool bOnline,
                                     const std::string& sRoundTrip, Clock::time_point when) {
    Outcome outcome;
    if (m_sAddress != sAddress) {
        m_sAddress = sAddress;
        m_bSettled.reset();
        outcome.bNewState = true;
    } else if (bOnline != m_bOnline) {
        outcome.bNewState = true;
    } else {
        outcome.bAnnounce = m_bSettled.has_value() && *m_bSettled != bOnline;
        m_bSettled = bOnline;
    }
    if (outcome.bNewState) {
        m_since = when;
    }
    m_bOnline = bOnline;
    m_sRoundTrip = bOnline ? sRoundTrip : std::string();
    return outcome;
}

std::string StateText(const SlotState& state, const std::string& sAddress,
                      SlotState::Clock::time_point now, bool withRoundTrip) {
    if (!state.CheckedAt(sAddress)) {
        return "not checked yet";
    }
    const platform::LocalTime since = platform::ToLocalTime(state.Since());
    const platform::LocalTime today = platform::ToLocalTime(now);
    const bool bToday =
        since.year == today.year && since.month == today.month && since.day == today.day;
    const std::string sSince = "since " + platform::LocaleTimeText(since, !bToday);
    if (!state.Online()) {
        return "offline " + sSince;
    }
    if (!withRoundTrip || state.RoundTrip().empty()) {
        return "online " + sSince;
    }
    return "online, " + state.RoundTrip() + " ms, " + sSince;
}
