// browser.exe, the launcher a web host's Explore falls back on: what it would
// open, and what it refuses to hand to Windows.

#include "test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

ProgramResult DryRun(const std::vector<std::string>& args) {
    return RunProgram(BinDir() + "/browser", args, {{"NETVIGIL_DRY_RUN", "1"}});
}

TEST(Browser, OpensWebAddressesOnly) {
    for (const auto& [address, opened] :
         {std::pair<std::string, std::string>{"www.example.com", "http://www.example.com"},
          {"WWW.Example.com/a?b=c", "http://WWW.Example.com/a?b=c"},
          {"HTTPS://example.com", "HTTPS://example.com"}}) {
        const ProgramResult r = DryRun({address});
        EXPECT_EQ(r.exitCode, 0) << address;
        EXPECT_EQ(r.out, "open " + opened + "\r\n"); // a text stream, as Windows ends lines
    }
    // Windows would open a file or any other registered scheme just as well.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"file:///C:/Windows/notepad.exe"},
                                               {"ms-settings://x"},
                                               {"--help"},
                                               {"www.x.com", "more"},
                                               {"www.x.com\tx"},
                                               {"www.x .com"}}) {
        const ProgramResult r = DryRun(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
    }
}

} // namespace
