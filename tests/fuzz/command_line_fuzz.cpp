// Command lines split by the Microsoft C runtime's rules: any line splits,
// and quoting the arguments it gives makes a line that splits into them again;
// so does any argument vector (here NUL bytes separate its arguments).

#include "fuzz_support.h"
#include "platform/command_line.h"

#include <string>
#include <vector>

using fuzz_support::Expect;
using fuzz_support::Printable;

namespace {

std::string Shown(const std::vector<std::string>& argv) {
    std::string out;
    for (const std::string& arg : argv) {
        out += "[" + Printable(arg) + "]";
    }
    return out;
}

void SurvivesQuoting(const std::vector<std::string>& argv) {
    const bool quotable = !argv.empty() && argv[0].find('"') == std::string::npos;
    bool nul = false;
    for (const std::string& arg : argv) {
        nul = nul || arg.find('\0') != std::string::npos;
    }
    const auto line = platform::ArgvToCommandLine(argv);
    Expect(line.has_value() == (quotable && !nul), "only what no line can give is refused",
           Shown(argv));
    if (line) {
        const auto again = platform::CommandLineToArgv(*line);
        Expect(again == argv, "quoted and split again, the arguments are the same",
               Shown(argv) + " -> " + Printable(*line) + " -> " + Shown(again));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz_support::Bytes(data, size);
    const auto argv = platform::CommandLineToArgv(input);
    Expect(!argv.empty() && argv[0].find('"') == std::string::npos,
           "a split line has a program name without quotes", Printable(input));
    if (input.find('\0') == std::string_view::npos) {
        SurvivesQuoting(argv);
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t nul; (nul = input.find('\0', start)) != std::string_view::npos;
         start = nul + 1) {
        parts.emplace_back(input.substr(start, nul - start));
    }
    parts.emplace_back(input.substr(start));
    SurvivesQuoting(parts);
    return 0;
}
