#include "platform/command_line.h"

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

} // namespace platform
