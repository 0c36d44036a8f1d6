#include "options.h"

#include "report.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace netvigil_ping {

namespace {

constexpr const char* kUsage = R"(
Usage: ping [-n count] [-w timeout] [-4] [-6] target_name

Options:
    -n count       Number of echo requests to send.
    -w timeout     Timeout in milliseconds to wait for each reply. A reply
                   still counts until 500 ms have passed, as with the
                   Windows ping: -w 8 turns no host 30 ms away red.
                   0 does not wait.
    -4             Force using IPv4.
    -6             Force using IPv6.

)";

std::optional<unsigned long> Number(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text.front() == '-' || *end != '\0' || errno != 0 ||
        value > 4294967295ULL) {
        return std::nullopt;
    }
    return static_cast<unsigned long>(value);
}

Refusal Refused(std::string out, bool usage = false) {
    return {std::move(out) + (usage ? kUsage : ""), {}, 1};
}

// An address with blanks in it adds options to the sweep's command line, as
// "127.0.0.1 -n 12" would hold each sweep for eleven seconds: the windows
// give each option once, so a second one is refused.
Refusal Twice(const std::string& what) {
    return {{}, "ping: " + what + "; nothing was sent.\n", 1};
}

} // namespace

std::chrono::milliseconds ReplyWindow(unsigned long timeout) {
    if (timeout == 0) {
        return std::chrono::milliseconds::zero();
    }
    return std::max(std::chrono::milliseconds(timeout), kReplyFloor);
}

std::variant<Options, Refusal> ParseOptions(const std::vector<std::string>& args) {
    if (args.empty()) {
        return Refused("", true);
    }
    Options options;
    bool haveTarget = false;
    std::string seen; // the option letters given so far
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/')) {
            if (haveTarget) {
                return Refused("Bad parameter " + Echoed(arg) + ".\n");
            }
            options.target = arg;
            haveTarget = true;
            continue;
        }
        const std::string flag = arg.substr(1);
        if (flag != "4" && flag != "6" && flag != "n" && flag != "w") {
            return Refused("Bad option " + Echoed(arg) + ".\n", true);
        }
        if (seen.find(flag[0]) != std::string::npos) {
            return Twice("the option -" + flag + " is given twice");
        }
        seen += flag[0];
        if (flag == "4" || flag == "6") {
            if (seen.find(flag == "4" ? '6' : '4') != std::string::npos) {
                return Twice("-4 and -6 cannot both be given");
            }
            options.family = flag == "4" ? Family::V4 : Family::V6;
            continue;
        }
        if (i + 1 >= args.size()) {
            return Refused("Value must be supplied for option " + Echoed(arg) + ".\n");
        }
        const auto value = Number(args[++i]);
        if (!value || (flag == "n" && *value == 0)) {
            return Refused("Bad value for option " + Echoed(arg) + ", valid range is from " +
                           (flag == "n" ? "1" : "0") + " to 4294967295.\n");
        }
        (flag == "n" ? options.count : options.timeout) = *value;
    }
    if (!haveTarget) {
        return Refused("IP address must be specified.\n");
    }
    return options;
}

} // namespace netvigil_ping
