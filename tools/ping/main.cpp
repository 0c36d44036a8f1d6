// ping, as Netvigil's windows expect it of a Windows machine: the Windows
// options and texts, and "Reply from" only for a real echo reply.

#include "echo.h"
#include "host.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace netvigil_ping;
using namespace std::chrono;

namespace {

constexpr const char* kUsage = R"(
Usage: ping [-n count] [-w timeout] [-4] [-6] target_name

Options:
    -n count       Number of echo requests to send.
    -w timeout     Timeout in milliseconds to wait for each reply.
    -4             Force using IPv4.
    -6             Force using IPv6.

)";

struct Options {
    unsigned long count = 4;
    unsigned long timeout = 4000;
    int family = AF_UNSPEC;
    std::string target;
};

int Usage() {
    std::fputs(kUsage, stdout);
    return 1;
}

std::optional<unsigned long> Number(const char* text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *text == '-' || *end != '\0' || errno != 0 || value > 4294967295ULL) {
        return std::nullopt;
    }
    return static_cast<unsigned long>(value);
}

std::string Milliseconds(microseconds time) {
    if (time < milliseconds(1)) {
        return "<1ms";
    }
    char text[32];
    std::snprintf(text, sizeof text, "=%lldms",
                  static_cast<long long>(duration_cast<milliseconds>(time).count()));
    return text;
}

} // namespace

int main(int argc, char** argv) {
    StartOutput();
    if (argc < 2) {
        return Usage();
    }
    Options options;
    bool haveTarget = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() >= 2 && (arg[0] == '-' || arg[0] == '/')) {
            const std::string flag = arg.substr(1);
            if (flag == "4" || flag == "6") {
                options.family = flag == "4" ? AF_INET : AF_INET6;
                continue;
            }
            if (flag == "n" || flag == "w") {
                if (i + 1 >= argc) {
                    std::printf("Value must be supplied for option %s.\n", arg.c_str());
                    return 1;
                }
                const auto value = Number(argv[++i]);
                if (!value || (flag == "n" && *value == 0)) {
                    std::printf("Bad value for option %s, valid range is from %d to 4294967295.\n",
                                arg.c_str(), flag == "n" ? 1 : 0);
                    return 1;
                }
                (flag == "n" ? options.count : options.timeout) = *value;
                continue;
            }
            std::printf("Bad option %s.\n", arg.c_str());
            return Usage();
        }
        if (haveTarget) {
            std::printf("Bad parameter %s.\n", arg.c_str());
            return 1;
        }
        options.target = arg;
        haveTarget = true;
    }
    if (!haveTarget) {
        std::puts("IP address must be specified.");
        return 1;
    }

    bool literal = false;
    const auto target = Resolve(options.target, options.family, &literal);
    if (!target) {
        std::printf("Ping request could not find host %s. Please check the name and try again.\n",
                    options.target.c_str());
        return 1;
    }
    const int family = target->address.ss_family;
    std::string why;
    const auto echo = OpenEcho(family, &why);
    if (!echo) {
        std::fputs(why.c_str(), stdout);
        return 2;
    }

    if (literal) {
        std::printf("\nPinging %s with 32 bytes of data:\n", target->text.c_str());
    } else {
        std::printf("\nPinging %s [%s] with 32 bytes of data:\n", options.target.c_str(),
                    target->text.c_str());
    }
    unsigned long received = 0;
    std::vector<microseconds> times;
    const auto timeout = milliseconds(options.timeout);
    for (unsigned long i = 0; i < options.count; ++i) {
        const auto started = steady_clock::now();
        const Outcome outcome = echo->Ping(*target, static_cast<int>(i + 1), timeout);
        switch (outcome.kind) {
        case Outcome::Kind::Reply:
            ++received;
            times.push_back(outcome.time);
            if (family == AF_INET) {
                std::printf("Reply from %s: bytes=32 time%s TTL=%d\n", target->text.c_str(),
                            Milliseconds(outcome.time).c_str(), outcome.ttl);
            } else {
                std::printf("Reply from %s: time%s\n", target->text.c_str(),
                            Milliseconds(outcome.time).c_str());
            }
            break;
        case Outcome::Kind::TimedOut:
            std::puts("Request timed out.");
            break;
        case Outcome::Kind::Error:
            std::puts(outcome.error.c_str());
            break;
        }
        if (i + 1 < options.count) {
            std::this_thread::sleep_until(started + seconds(1));
        }
    }

    const unsigned long lost = options.count - received;
    std::printf("\nPing statistics for %s:\n"
                "    Packets: Sent = %lu, Received = %lu, Lost = %lu (%lu%% loss),\n",
                target->text.c_str(), options.count, received, lost, lost * 100 / options.count);
    if (received > 0) {
        const auto ms = [](microseconds t) {
            return static_cast<long long>(duration_cast<milliseconds>(t).count());
        };
        microseconds total{0};
        for (const auto t : times) {
            total += t;
        }
        std::printf("Approximate round trip times in milli-seconds:\n"
                    "    Minimum = %lldms, Maximum = %lldms, Average = %lldms\n",
                    ms(*std::min_element(times.begin(), times.end())),
                    ms(*std::max_element(times.begin(), times.end())),
                    ms(total / static_cast<long long>(times.size())));
    }
    return received > 0 ? 0 : 1;
}
