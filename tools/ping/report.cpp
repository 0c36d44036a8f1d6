#include "report.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace netvigil_ping {

using namespace std::chrono;

namespace {

std::string Milliseconds(microseconds time) {
    if (time < milliseconds(1)) {
        return "<1ms";
    }
    std::string text = "=";
    text += std::to_string(duration_cast<milliseconds>(time).count());
    text += "ms";
    return text;
}

long long Ms(microseconds time) {
    return static_cast<long long>(duration_cast<milliseconds>(time).count());
}

} // namespace

std::string Echoed(std::string_view text) {
    std::string out(text);
    for (auto at = out.find("Reply"); at != std::string::npos; at = out.find("Reply", at)) {
        out[at] = 'r';
    }
    return out;
}

std::string NotFoundText(std::string_view name) {
    return "Ping request could not find host " + Echoed(name) +
           ". Please check the name and try again.\n";
}

std::string PingingText(std::string_view name, std::string_view address, bool literal) {
    const std::string shown =
        literal ? std::string(address) : Echoed(name) + " [" + std::string(address) + "]";
    return "\nPinging " + shown + " with 32 bytes of data:\n";
}

std::string OutcomeText(const Outcome& outcome, std::string_view address, bool ipv4) {
    switch (outcome.kind) {
    case Outcome::Kind::Reply:
        return "Reply from " + std::string(address) +
               (ipv4 ? ": bytes=32 time" + Milliseconds(outcome.time) +
                           " TTL=" + std::to_string(outcome.ttl)
                     : ": time" + Milliseconds(outcome.time)) +
               "\n";
    case Outcome::Kind::TimedOut:
        return "Request timed out.\n";
    case Outcome::Kind::Error:
        break;
    }
    return outcome.error + "\n";
}

std::string StatisticsText(std::string_view address, const Tally& tally) {
    // Counts fit an unsigned long (the count option is 32 bits); the loss is
    // worked out wider, since a long is 32 bits on Windows.
    const auto received = static_cast<unsigned long>(tally.times.size());
    const unsigned long lost = tally.sent - received;
    const auto loss = static_cast<unsigned long>(
        tally.sent == 0 ? 0 : static_cast<unsigned long long>(lost) * 100 / tally.sent);
    char text[256];
    std::snprintf(text, sizeof text,
                  "\nPing statistics for %.*s:\n"
                  "    Packets: Sent = %lu, Received = %lu, Lost = %lu (%lu%% loss),\n",
                  static_cast<int>(address.size()), address.data(), tally.sent, received, lost,
                  loss);
    std::string out = text;
    if (received > 0) {
        const auto total = std::accumulate(tally.times.begin(), tally.times.end(), microseconds{0});
        std::snprintf(text, sizeof text,
                      "Approximate round trip times in milli-seconds:\n"
                      "    Minimum = %lldms, Maximum = %lldms, Average = %lldms\n",
                      Ms(*std::min_element(tally.times.begin(), tally.times.end())),
                      Ms(*std::max_element(tally.times.begin(), tally.times.end())),
                      Ms(total / static_cast<long long>(received)));
        out += text;
    }
    return out;
}

} // namespace netvigil_ping
