// explorer's argument as a URI, for what no command line can carry.

#include "smb_uri.h"

#include <gtest/gtest.h>

using netvigil_explorer::SmbUri;

namespace {

// An IPv6 address was checked only up to a NUL, and what followed it went
// into the URI raw.
TEST(SmbUri, NothingAfterANul) {
    EXPECT_EQ(SmbUri("\\\\::1"), "smb://[::1]/");
    EXPECT_EQ(SmbUri(std::string("\\\\::1\0\0", 7)), std::nullopt);
    EXPECT_EQ(SmbUri(std::string("\\\\fs\0x", 6)), std::nullopt);
    EXPECT_EQ(SmbUri(std::string("\\\\fs\\a\0b", 8)), std::nullopt);
}

} // namespace
