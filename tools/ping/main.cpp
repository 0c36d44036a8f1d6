// ping, as Netvigil's windows expect it of a Windows machine: the Windows
// options and texts, and "Reply from" only for a real echo reply. The
// options, the texts and what an arriving packet is are worked out apart
// from the sockets (options, report, classify), for any echo method to use.

#include "echo.h"
#include "options.h"
#include "report.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

using namespace netvigil_ping;
using namespace std::chrono;

namespace {

// A dead resolver must not hold a ping (and the sweep waiting on it) for the
// resolver's own 5 s times its retries; a working one, even over a slow VPN,
// answers well within this.
constexpr milliseconds kResolveLimit{500};

std::string Numeric(const sockaddr* address, socklen_t length) {
    char host[NI_MAXHOST] = {};
    getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST);
    return host;
}

// The first address of the name, within kResolveLimit.
std::optional<Target> Resolve(const std::string& name, int family, bool* literal) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_RAW;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    *literal = getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0;
    if (!*literal) {
        hints.ai_flags = AI_ADDRCONFIG;
        gaicb request{};
        request.ar_name = name.c_str();
        request.ar_request = &hints;
        gaicb* requests[] = {&request};
        if (getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr) != 0) {
            return std::nullopt;
        }
        const auto ns = duration_cast<nanoseconds>(kResolveLimit).count();
        const timespec limit{static_cast<time_t>(ns / 1000000000),
                             static_cast<long>(ns % 1000000000)};
        gai_suspend(requests, 1, &limit);
        if (gai_error(&request) != 0) {
            // Still asking, or failed: either way there is no address. The
            // lookup's thread dies with the process.
            return std::nullopt;
        }
        found = request.ar_result;
    }
    if (found == nullptr) {
        return std::nullopt;
    }
    Target target;
    std::memcpy(&target.address, found->ai_addr, found->ai_addrlen);
    target.length = found->ai_addrlen;
    target.text = Numeric(found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    return target;
}

int Refuse(const Refusal& refusal) {
    std::fputs(refusal.out.c_str(), stdout);
    std::fputs(refusal.err.c_str(), stderr);
    return refusal.exitCode;
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const auto parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* refusal = std::get_if<Refusal>(&parsed)) {
        return Refuse(*refusal);
    }
    const Options& options = std::get<Options>(parsed);
    const int family = options.family == Family::V4   ? AF_INET
                       : options.family == Family::V6 ? AF_INET6
                                                      : AF_UNSPEC;
    bool literal = false;
    const auto target = Resolve(options.target, family, &literal);
    if (!target) {
        std::fputs(NotFoundText(options.target).c_str(), stdout);
        return 1;
    }
    std::string why;
    const auto echo = OpenEcho(target->address.ss_family, &why);
    if (!echo) {
        std::fputs(why.c_str(), stdout);
        return 2;
    }
    std::fputs(PingingText(options.target, target->text, literal).c_str(), stdout);
    Tally tally;
    for (unsigned long i = 0; i < options.count; ++i) {
        const auto started = steady_clock::now();
        const Outcome outcome =
            echo->Ping(*target, static_cast<int>(i + 1), milliseconds(options.timeout));
        ++tally.sent;
        if (outcome.kind == Outcome::Kind::Reply) {
            tally.times.push_back(outcome.time);
        }
        std::fputs(OutcomeText(outcome, target->text, target->address.ss_family == AF_INET).c_str(),
                   stdout);
        if (i + 1 < options.count) {
            std::this_thread::sleep_until(started + seconds(1));
        }
    }
    std::fputs(StatisticsText(target->text, tally).c_str(), stdout);
    return tally.times.empty() ? 1 : 0;
}
