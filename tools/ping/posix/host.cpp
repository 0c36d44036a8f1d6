#include "host.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netdb.h>

namespace netvigil_ping {

using namespace std::chrono;

namespace {

std::string Numeric(const sockaddr* address, socklen_t length) {
    char host[NI_MAXHOST] = {};
    getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST);
    return host;
}

} // namespace

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

void StartOutput() {
    setvbuf(stdout, nullptr, _IOLBF, 0);
}

} // namespace netvigil_ping
