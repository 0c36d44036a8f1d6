#pragma once

// What the long run measures at its start and at its end, and whether that
// shows a leak. Only growth counts: idle worker threads of the toolkit end
// during a long run and take their descriptors with them.

#include <cstdint>

struct LongRunSample {
    int descriptors;
    int children;
    long rssKiB;
    std::uintmax_t storeBytes;
};

// Resident memory may wobble by this much without counting as growth.
constexpr long kRssSlackKiB = 2048;

inline bool Flat(const LongRunSample& start, const LongRunSample& end) {
    return end.descriptors <= start.descriptors && end.children <= start.children &&
           end.rssKiB <= start.rssKiB + kRssSlackKiB && end.storeBytes <= start.storeBytes;
}
