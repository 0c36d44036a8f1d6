#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a command line into arguments as the Microsoft C runtime does.
// The program name ends at the first blank or tab outside quotes; quotes in
// it only group. In the arguments after it: 2n backslashes and a quote give n
// backslashes and open or close quoting; 2n+1 backslashes and a quote give n
// backslashes and a literal quote; other backslashes are literal; "" inside
// quotes is a literal quote; a quote left open ends the last argument.
std::vector<std::string> CommandLineToArgv(std::string_view commandLine);

// The command line that CommandLineToArgv splits back into argv. Nothing
// where no such line exists: no program, a program name holding a quote
// (which its rules cannot escape), or a NUL anywhere (which would end the
// line as Windows passes it).
std::optional<std::string> ArgvToCommandLine(const std::vector<std::string>& argv);

} // namespace platform
