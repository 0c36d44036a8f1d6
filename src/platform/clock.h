#pragma once

#include <chrono>

namespace platform {

// A moment as the clock on the user's wall shows it, in the system's time
// zone, with that zone's offset from UTC at the moment.
struct LocalTime {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int offsetMinutes = 0; // east of UTC
};

LocalTime ToLocalTime(std::chrono::system_clock::time_point when);

} // namespace platform
