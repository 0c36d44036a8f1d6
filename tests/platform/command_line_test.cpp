#include "platform/command_line.h"

#include <gtest/gtest.h>

using platform::ArgvToCommandLine;
using platform::CommandLineToArgv;
using Args = std::vector<std::string>;

namespace {

TEST(CommandLineToArgv, SplitsAsTheMicrosoftRuntimeDoes) {
    const std::pair<const char*, Args> cases[] = {
        {"ping -n 1 -w 8 127.0.0.1", {"ping", "-n", "1", "-w", "8", "127.0.0.1"}},
        {"ping -n 1 -w 8 ", {"ping", "-n", "1", "-w", "8"}},
        {"a\t b  \t c", {"a", "b", "c"}},
        {R"(p "a b" c)", {"p", "a b", "c"}},
        {R"(p a"b c"d)", {"p", "ab cd"}},
        {R"(p "")", {"p", ""}},
        {R"(p \\)", {"p", R"(\\)"}},
        {R"(p a\b\\c)", {"p", R"(a\b\\c)"}},
        {R"(p \"a)", {"p", R"("a)"}},
        {R"(p \\"a b")", {"p", R"(\a b)"}},
        {R"(p \\\"a)", {"p", R"(\"a)"}},
        {R"(p \\\\"a")", {"p", R"(\\a)"}},
        {R"(p "a""b")", {"p", R"(a"b)"}},
        {R"(p "a""")", {"p", R"(a")"}},
        {R"(p "open to the end)", {"p", "open to the end"}},
        {R"(explorer \\HOST)", {"explorer", R"(\\HOST)"}},
        {R"(shutdown -m \\pc7 -s -t 10 -f)",
         {"shutdown", "-m", R"(\\pc7)", "-s", "-t", "10", "-f"}},
        // The program name: quotes group, backslashes are taken as they are.
        {R"("C:\Program Files\x.exe" a)", {R"(C:\Program Files\x.exe)", "a"}},
        {R"(C:\dir\"x y" z)", {R"(C:\dir\x y)", "z"}},
        {"", {""}},
        {"   lead", {"", "lead"}},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(CommandLineToArgv(line), expected) << line;
    }
}

TEST(CommandLineToArgv, ShellSyntaxIsPlainText) {
    EXPECT_EQ(CommandLineToArgv("ping 127.0.0.1; touch f"),
              (Args{"ping", "127.0.0.1;", "touch", "f"}));
    EXPECT_EQ(CommandLineToArgv("ping $(touch f)"), (Args{"ping", "$(touch", "f)"}));
    EXPECT_EQ(CommandLineToArgv("ping `touch f` | x > y"),
              (Args{"ping", "`touch", "f`", "|", "x", ">", "y"}));
}

// The way back: a vector quoted so that the runtime splits it into the same
// arguments. The program name has rules of its own: its backslashes stay as
// they are even before the closing quote, where an argument's are doubled.
TEST(ArgvToCommandLine, SplitsBackIntoTheSameArguments) {
    const Args cases[] = {
        {"ping", "-n", "1", "-w", "8", "127.0.0.1"},
        {R"(C:\my dir\)", R"(a b\)", "", R"(say "hi")", R"(\\server\share)", "\t", R"(\")"},
        {""},
    };
    for (const Args& argv : cases) {
        const auto line = ArgvToCommandLine(argv);
        ASSERT_TRUE(line) << testing::PrintToString(argv);
        EXPECT_EQ(CommandLineToArgv(*line), argv) << *line;
    }
    EXPECT_EQ(ArgvToCommandLine({R"(C:\my dir\)", "a b", "c"}), R"("C:\my dir\" "a b" c)");
    // No line gives these.
    EXPECT_FALSE(ArgvToCommandLine({}));
    EXPECT_FALSE(ArgvToCommandLine({R"(a"b)"}));
    EXPECT_FALSE(ArgvToCommandLine({"p", std::string("a\0b", 3)}));
}

} // namespace
