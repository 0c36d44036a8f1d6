#include "local.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <netdb.h>
#include <strings.h>
#include <unistd.h>

namespace netvigil_shutdown {

namespace {

struct Address {
    int family = AF_UNSPEC;
    unsigned char bytes[sizeof(in6_addr)] = {};
};

Address Parse(const std::string& text) {
    Address address;
    if (inet_pton(AF_INET, text.c_str(), address.bytes) == 1) {
        address.family = AF_INET;
    } else if (inet_pton(AF_INET6, text.c_str(), address.bytes) == 1) {
        address.family = AF_INET6;
    }
    return address;
}

bool NamesThisMachine(const std::string& host, const std::string& hostname) {
    if (strcasecmp(host.c_str(), "localhost") == 0 ||
        strncasecmp(host.c_str(), "localhost.", 10) == 0) {
        return true;
    }
    if (hostname.empty()) {
        return false;
    }
    // The short name also stands for itself within any domain.
    return strcasecmp(host.c_str(), hostname.c_str()) == 0 ||
           (hostname.find('.') == std::string::npos && host.size() > hostname.size() &&
            host[hostname.size()] == '.' &&
            strncasecmp(host.c_str(), hostname.c_str(), hostname.size()) == 0);
}

bool IsLocalAddress(const Address& address, const std::vector<std::string>& own) {
    if (address.family == AF_INET) {
        if (address.bytes[0] == 127 || std::memcmp(address.bytes, "\0\0\0\0", 4) == 0) {
            return true;
        }
    } else if (address.family == AF_INET6) {
        in6_addr v6;
        std::memcpy(&v6, address.bytes, sizeof v6);
        // An IPv4 address in IPv6 dress reaches whatever the IPv4 one does:
        // all of them are refused rather than decoded.
        if (IN6_IS_ADDR_LOOPBACK(&v6) || IN6_IS_ADDR_UNSPECIFIED(&v6) ||
            IN6_IS_ADDR_V4MAPPED(&v6)) {
            return true;
        }
    } else {
        return false;
    }
    const std::size_t size = address.family == AF_INET ? 4 : 16;
    for (const std::string& text : own) {
        const Address mine = Parse(text);
        if (mine.family == address.family && std::memcmp(mine.bytes, address.bytes, size) == 0) {
            return true;
        }
    }
    return false;
}

bool IsLocal(const std::string& host, const MachineFacts& facts) {
    return NamesThisMachine(host, facts.hostname) || IsLocalAddress(Parse(host), facts.addresses);
}

} // namespace

bool IsThisMachine(const std::string& host, const MachineFacts& facts) {
    if (IsLocal(host, facts)) {
        return true;
    }
    if (Parse(host).family != AF_UNSPEC || !facts.resolve) {
        return false;
    }
    for (const std::string& address : facts.resolve(host)) {
        if (IsLocal(address, facts)) {
            return true;
        }
    }
    return false;
}

MachineFacts ThisMachine() {
    MachineFacts facts;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0) {
        facts.hostname = name;
    }
    const auto numeric = [](const sockaddr* address) -> std::string {
        char text[INET6_ADDRSTRLEN] = {};
        const void* where =
            address->sa_family == AF_INET
                ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr)
                : static_cast<const void*>(
                      &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
        return inet_ntop(address->sa_family, where, text, sizeof text) != nullptr ? text : "";
    };
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
            if (a->ifa_addr != nullptr &&
                (a->ifa_addr->sa_family == AF_INET || a->ifa_addr->sa_family == AF_INET6)) {
                facts.addresses.push_back(numeric(a->ifa_addr));
            }
        }
        ::freeifaddrs(list);
    }
    facts.resolve = [numeric](const std::string& host) {
        std::vector<std::string> found;
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* results = nullptr;
        if (::getaddrinfo(host.c_str(), nullptr, &hints, &results) == 0) {
            for (const addrinfo* a = results; a != nullptr; a = a->ai_next) {
                if (a->ai_family == AF_INET || a->ai_family == AF_INET6) {
                    found.push_back(numeric(a->ai_addr));
                }
            }
            ::freeaddrinfo(results);
        }
        return found;
    };
    return facts;
}

} // namespace netvigil_shutdown
