#include "smb_uri.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace netvigil_explorer {

namespace {

bool Unreserved(unsigned char c) {
    return std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~';
}

bool SubDelimiter(char c) {
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

bool Control(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// What a URI cannot hold as it stands, as %XX.
std::string Encoded(std::string_view text, std::string_view alsoAllowed) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (Unreserved(u) || SubDelimiter(c) || alsoAllowed.find(c) != std::string_view::npos) {
            out += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", u);
            out += hex;
        }
    }
    return out;
}

// An IPv6 address goes in brackets, its zone's % written %25; a name must
// not look like an option, a user or a port.
std::optional<std::string> Host(const std::string& host) {
    const std::string address = host.substr(0, host.find('%'));
    in6_addr v6{};
    // inet_pton reads up to a NUL; what follows one must not ride along.
    if (address.find('\0') == std::string::npos && inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
        const bool zone = address.size() < host.size();
        if (zone && (host.size() == address.size() + 1 ||
                     !std::all_of(
                         host.begin() + static_cast<std::ptrdiff_t>(address.size()) + 1, host.end(),
                         [](char c) { return Unreserved(static_cast<unsigned char>(c)); }))) {
            return std::nullopt;
        }
        return "[" + address + (zone ? "%25" + host.substr(address.size() + 1) : "") + "]";
    }
    if (host.empty() || host.front() == '-' || host.front() == '.' ||
        host.find_first_of(":@/") != std::string::npos ||
        std::any_of(host.begin(), host.end(),
                    [](char c) { return Control(static_cast<unsigned char>(c)); })) {
        return std::nullopt;
    }
    return Encoded(host, "");
}

std::optional<std::string> Segment(const std::string& part) {
    if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos ||
        std::any_of(part.begin(), part.end(),
                    [](char c) { return Control(static_cast<unsigned char>(c)); })) {
        return std::nullopt;
    }
    return Encoded(part, ":@");
}

} // namespace

std::optional<std::string> SmbUri(const std::string& unc) {
    if (unc.size() <= 2 || !unc.starts_with("\\\\")) {
        return std::nullopt;
    }
    std::string uri = "smb://";
    std::size_t start = 2;
    for (bool host = true; start <= unc.size(); host = false) {
        const auto sep = std::min(unc.find('\\', start), unc.size());
        const std::string part = unc.substr(start, sep - start);
        start = sep + 1;
        if (part.empty() && !host && sep == unc.size()) {
            break;
        }
        const auto encoded = host ? Host(part) : Segment(part);
        if (!encoded) {
            return std::nullopt;
        }
        uri += *encoded + "/";
    }
    return uri;
}

} // namespace netvigil_explorer
