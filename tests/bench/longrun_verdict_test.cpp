#include "longrun_verdict.h"

#include <gtest/gtest.h>

namespace {

TEST(LongRunVerdict, OnlyGrowthIsALeak) {
    const LongRunSample start{9, 0, 31092, 20480};
    EXPECT_TRUE(Flat(start, start));
    EXPECT_TRUE(Flat(start, {7, 0, 30000, 20480})) << "idle threads ended, taking descriptors";
    EXPECT_TRUE(Flat(start, {9, 0, 31092 + 2048, 20480}));
    EXPECT_FALSE(Flat(start, {10, 0, 31092, 20480}));
    EXPECT_FALSE(Flat(start, {9, 1, 31092, 20480}));
    EXPECT_FALSE(Flat(start, {9, 0, 31092 + 2049, 20480}));
    EXPECT_FALSE(Flat(start, {9, 0, 31092, 24576}));
}

} // namespace
