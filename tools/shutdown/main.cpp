// shutdown -m \\HOST (-s | -r | -a) [-t N] [-f] [-c TEXT]: shuts down,
// restarts, or aborts the shutdown of a remote Windows machine through
// Samba's net rpc. It never touches this machine: without -m, with an empty
// or local host, or with anything it does not understand, it refuses.
// NETVIGIL_DRY_RUN set: prints the command instead of running it.

#include "RunOrPrint.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <netdb.h>
#include <optional>
#include <string>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace {

int Refuse(const std::string& why) {
    std::fprintf(stderr,
                 "shutdown: %s; nothing was done.\n"
                 "Usage: shutdown -m \\\\HOST -s|-r|-a [-t SECONDS] [-f] [-c COMMENT]\n",
                 why.c_str());
    return 1;
}

bool PlainHost(const std::string& host) {
    if (host.empty() || host.front() == '-' || host.front() == '.') {
        return false;
    }
    for (const char c : host) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '.' && c != '-' && c != '_' &&
            c != ':') {
            return false;
        }
    }
    return true;
}

bool IsLiteral(const std::string& host) {
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

bool IsLocalAddress(const std::string& host);

// This machine by any of its names or addresses, also a name that resolves
// to one of them (an alias for 127.0.1.1 in /etc/hosts, say).
bool IsLocal(const std::string& host) {
    if (IsLocalAddress(host)) {
        return true;
    }
    if (IsLiteral(host)) {
        return false;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) {
        return false;
    }
    bool local = false;
    for (const addrinfo* a = found; a != nullptr && !local; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* where =
            a->ai_family == AF_INET
                ? static_cast<const void*>(
                      &reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr)
                : static_cast<const void*>(
                      &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr);
        local =
            inet_ntop(a->ai_family, where, text, sizeof text) != nullptr && IsLocalAddress(text);
    }
    ::freeaddrinfo(found);
    return local;
}

bool IsLocalAddress(const std::string& host) {
    if (strcasecmp(host.c_str(), "localhost") == 0 ||
        strncasecmp(host.c_str(), "localhost.", 10) == 0) {
        return true;
    }
    char own[256] = {};
    if (::gethostname(own, sizeof own - 1) == 0 &&
        (strcasecmp(host.c_str(), own) == 0 ||
         (std::strchr(own, '.') == nullptr &&
          strncasecmp(host.c_str(), own, std::strlen(own)) == 0 &&
          host[std::strlen(own)] == '.'))) {
        return true;
    }
    in_addr v4{};
    in6_addr v6{};
    const bool isV4 = inet_pton(AF_INET, host.c_str(), &v4) == 1;
    const bool isV6 = !isV4 && inet_pton(AF_INET6, host.c_str(), &v6) == 1;
    if (isV4 && ((ntohl(v4.s_addr) >> 24) == 127 || v4.s_addr == 0)) {
        return true;
    }
    if (isV6 &&
        (IN6_IS_ADDR_LOOPBACK(&v6) || IN6_IS_ADDR_UNSPECIFIED(&v6) || IN6_IS_ADDR_V4MAPPED(&v6))) {
        return true;
    }
    ifaddrs* list = nullptr;
    bool local = false;
    if ((isV4 || isV6) && ::getifaddrs(&list) == 0) {
        for (const ifaddrs* a = list; a != nullptr && !local; a = a->ifa_next) {
            if (a->ifa_addr == nullptr) {
                continue;
            }
            if (isV4 && a->ifa_addr->sa_family == AF_INET) {
                local =
                    reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr == v4.s_addr;
            } else if (isV6 && a->ifa_addr->sa_family == AF_INET6) {
                local = std::memcmp(&reinterpret_cast<const sockaddr_in6*>(a->ifa_addr)->sin6_addr,
                                    &v6, sizeof v6) == 0;
            }
        }
        ::freeifaddrs(list);
    }
    return local;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<std::string> host;
    char action = 0;
    std::optional<long> timeout;
    bool force = false;
    std::optional<std::string> comment;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() != 2 || (arg[0] != '-' && arg[0] != '/')) {
            return Refuse("\"" + arg + "\" is not an option it knows");
        }
        const char option = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        switch (option) {
        case 'm': {
            const auto target = value();
            if (host || !target || !target->starts_with("\\\\")) {
                return Refuse("-m takes one \\\\HOST");
            }
            host = target->substr(2);
            break;
        }
        case 's':
        case 'r':
        case 'a':
            if (action != 0) {
                return Refuse("give only one of -s, -r and -a");
            }
            action = option;
            break;
        case 't': {
            const auto seconds = value();
            char* end = nullptr;
            const long n = seconds ? std::strtol(seconds->c_str(), &end, 10) : -1;
            if (timeout || !seconds || seconds->empty() || *end != '\0' || n < 0 || n > 315360000) {
                return Refuse("-t takes a number of seconds");
            }
            timeout = n;
            break;
        }
        case 'f':
            force = true;
            break;
        case 'c':
            comment = value();
            if (!comment || comment->size() > 512) {
                return Refuse("-c takes a comment of at most 512 characters");
            }
            break;
        default:
            return Refuse("\"" + arg + "\" is not an option it knows");
        }
    }
    if (action == 0) {
        return Refuse("say what to do: -s, -r or -a");
    }
    if (!host) {
        return Refuse(
            "this machine is never shut down from here: name a remote one with -m \\\\HOST");
    }
    if (!PlainHost(*host)) {
        return Refuse("\"" + *host + "\" is not a host name or address");
    }
    if (IsLocal(*host)) {
        return Refuse("\"" + *host + "\" is this machine");
    }
    // net's -I takes an address; a machine name goes with -S.
    std::vector<std::string> command = {"net", "rpc", action == 'a' ? "abortshutdown" : "shutdown",
                                        IsLiteral(*host) ? "-I" : "-S", *host};
    if (action != 'a') {
        // Windows' default wait is 30 s; net's -t 0 would mean its own 20 s,
        // so "at once" becomes the shortest wait net knows, 1 s.
        const long seconds = timeout.value_or(30);
        command.insert(command.end(), {"-t", std::to_string(seconds == 0 ? 1 : seconds)});
        if (action == 'r') {
            command.push_back("-r");
        }
        if (force) {
            command.push_back("-f");
        }
        if (comment) {
            command.insert(command.end(), {"-C", *comment});
        }
    }
    return RunOrPrint(std::move(command),
                      "shutdown: Samba's net is not installed (Debian package samba-common-bin)");
}
