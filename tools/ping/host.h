#pragma once

// What ping asks of the system besides the echo: a name's address within a
// time limit, and standard output that reaches a reader line by line.

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

void LineBufferedOutput();

} // namespace netvigil_ping
