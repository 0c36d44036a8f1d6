#include "platform/command_line.h"

#include <gtest/gtest.h>

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

} // namespace
