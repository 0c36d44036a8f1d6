#pragma once

// What ping prints, in the Windows texts. "Reply" appears only in the line
// of a real echo reply: the sweep counts a host online on that word.

#include "outcome.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace netvigil_ping {

// Text from the command line, as echoed back: its "Reply" spelled "reply",
// so a name or a refused argument can never pass for an answer.
std::string Echoed(std::string_view text);

std::string NotFoundText(std::string_view name);
// The first lines; a name is shown with the address it resolved to.
std::string PingingText(std::string_view name, std::string_view address, bool literal);
std::string OutcomeText(const Outcome& outcome, std::string_view address, bool ipv4);

struct Tally {
    unsigned long sent = 0;
    std::vector<std::chrono::microseconds> times; // of the replies
};
std::string StatisticsText(std::string_view address, const Tally& tally);

} // namespace netvigil_ping
