#pragma once

// What ping asks of the system besides the echo: a name's address within a
// time limit, and standard output set up for whoever reads it.

#include "echo.h"

#include <chrono>
#include <optional>
#include <string>

namespace netvigil_ping {

// A dead resolver must not hold a ping (and the sweep waiting on it) for the
// resolver's own 5 s times its retries; a working one, even over a slow VPN,
// answers well within this.
inline constexpr std::chrono::milliseconds kResolveLimit{500};

// The first address of the name, within kResolveLimit; *literal tells whether
// the name was an address already.
std::optional<Target> Resolve(const std::string& name, int family, bool* literal);

// Line by line where the C runtime can; where it cannot (Windows), the whole
// text in as few writes as fit to a pipe, which is how the sweep reads it.
void StartOutput();

} // namespace netvigil_ping
