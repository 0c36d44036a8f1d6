#pragma once

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

} // namespace platform
