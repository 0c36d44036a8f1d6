// explorer's argument: any text as \\HOST\share\path. What it accepts becomes
// an smb URI whose host is no option, user or port, whose path never leaves
// the share, in which every byte a URI cannot hold is percent-encoded, and
// which decodes to the argument again.

#include "fuzz_support.h"
#include "smb_uri.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <string_view>

using fuzz_support::Expect;
using fuzz_support::Printable;

namespace {

bool UriByte(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           std::string_view("-._~!$&'()*+,;=:@/%[]").find(c) != std::string_view::npos;
}

std::string Decoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        Expect(i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2])),
               "a % sign begins an escape", std::string(text));
        out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string unc(fuzz_support::Bytes(data, size));
    const auto uri = netvigil_explorer::SmbUri(unc);
    if (!uri) {
        return 0;
    }
    const std::string shown = Printable(unc) + " -> " + Printable(*uri);
    Expect(uri->starts_with("smb://") && uri->ends_with("/") && uri->size() > 7,
           "the URI is smb://HOST/...", shown);
    Expect(std::all_of(uri->begin(), uri->end(), UriByte), "the URI holds only URI characters",
           shown);
    const std::string_view rest = std::string_view(*uri).substr(6);
    const auto slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    std::string host;
    if (authority.starts_with('[')) {
        Expect(authority.ends_with(']'), "a bracketed host closes", shown);
        host = Decoded(authority.substr(1, authority.size() - 2));
        in6_addr v6{};
        Expect(inet_pton(AF_INET6, host.substr(0, host.find('%')).c_str(), &v6) == 1,
               "a bracketed host is an IPv6 address", shown);
    } else {
        Expect(authority.find_first_of(":@[]") == std::string_view::npos,
               "the host holds no user and no port", shown);
        host = Decoded(authority);
        Expect(!host.starts_with('-') && !host.starts_with('.'), "the host is no option", shown);
    }
    std::string back = "\\\\" + host;
    std::string_view path = rest.substr(slash + 1);
    while (!path.empty()) {
        const auto end = path.find('/');
        Expect(end != std::string_view::npos, "every segment ends in a slash", shown);
        const std::string segment = Decoded(path.substr(0, end));
        Expect(!segment.empty() && segment != "." && segment != ".." &&
                   segment.find('/') == std::string::npos,
               "no segment leaves the share", shown);
        back += "\\" + segment;
        path.remove_prefix(end + 1);
    }
    Expect(back == unc || back + "\\" == unc, "the URI decodes to the argument", shown);
    return 0;
}
