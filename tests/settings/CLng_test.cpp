// How stored text becomes a number and a colour: the conversion the settings
// have always been read with.

#include "settings/CLng.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct Case {
    std::string text;
    std::optional<std::int32_t> value;
};

TEST(CLng, ReadsDecimalAndHexAndRoundsHalfToEven) {
    const std::vector<Case> cases = {
        {"128", 128},
        {"  16777215\t", 16777215},
        {"+7", 7},
        {"-1", -1},
        {"0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        // Half to even, as a banker rounds; other fractions to the nearest.
        {"0.5", 0},
        {"1.5", 2},
        {"2.5", 2},
        {"-2.5", -2},
        {"3.49", 3},
        {".5", 0},
        {"7.", 7},
        // &H values are 32-bit patterns, in any case of letters.
        {"&H80", 128},
        {"&hff00", 65280},
        {"&HFFFFFF", 16777215},
        {"&HFFFFFFFF", -1},
        {"&H80000000", -2147483647 - 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CLng(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(CLng, BadTextIsNoNumber) {
    for (const std::string text :
         {"", "   ", "maroon", "12abc", "1 2", "1e3", "0x80", "&H", "&HG1", "&H123456789", "--1",
          "+", ".", "2147483648", "-2147483649", "99999999999", "2147483647.5"}) {
        EXPECT_EQ(CLng(text), std::nullopt) << '"' << text << '"';
    }
}

TEST(CLng, ColoursAreTwentyFourBitValues) {
    EXPECT_EQ(ColorFromText("0"), 0);
    EXPECT_EQ(ColorFromText("16777215"), 16777215);
    EXPECT_EQ(ColorFromText("&HFF"), 255);
    EXPECT_EQ(ColorFromText("16777216"), std::nullopt);
    EXPECT_EQ(ColorFromText("-1"), std::nullopt);
    EXPECT_EQ(ColorFromText("&HFFFFFFFF"), std::nullopt);
    EXPECT_EQ(ColorFromText("white"), std::nullopt);
}

} // namespace
