#include "platform/command_line.h"

#include <algorithm>

namespace platform {

std::vector<std::string> CommandLineToArgv(std::string_view line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const auto blank = [&](std::size_t at) { return line[at] == ' ' || line[at] == '\t'; };

    // The program name: quotes group and vanish, backslashes stay as they are.
    std::string program;
    bool quoted = false;
    for (; i < line.size() && (quoted || !blank(i)); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else {
            program += line[i];
        }
    }
    args.push_back(std::move(program));

    while (true) {
        while (i < line.size() && blank(i)) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        std::string arg;
        quoted = false;
        while (i < line.size() && (quoted || !blank(i))) {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, '\\');
                if (i < line.size() && (quoted || !blank(i))) {
                    arg += line[i];
                    ++i;
                }
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

namespace {

bool NeedsQuotes(const std::string& arg) {
    return arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
}

// An argument after the program name: quoted where it must be, each quote
// escaped, and the backslashes before a quote (or before the closing one)
// doubled, since only there are they taken as escapes.
std::string QuotedArgument(const std::string& arg) {
    if (!NeedsQuotes(arg)) {
        return arg;
    }
    std::string out = "\"";
    std::size_t slashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}

} // namespace

std::optional<std::string> ArgvToCommandLine(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].find('"') != std::string::npos ||
        std::any_of(argv.begin(), argv.end(),
                    [](const std::string& arg) { return arg.find('\0') != std::string::npos; })) {
        return std::nullopt;
    }
    // In the program name backslashes are plain characters, even before the
    // closing quote.
    std::string line = NeedsQuotes(argv[0]) ? "\"" + argv[0] + "\"" : argv[0];
    for (std::size_t i = 1; i < argv.size(); ++i) {
        line += ' ';
        line += QuotedArgument(argv[i]);
    }
    return line;
}

} // namespace platform
