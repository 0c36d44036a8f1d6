// shutdown's argument check and its "is this machine" check, over any
// argument vector (NUL bytes separate the arguments) on a machine described
// here: whatever it accepts, the net command it makes names that one host,
// as net reads its options, and the host is no name or address of this
// machine, however the resolver reads it.

#include "fuzz_support.h"
#include "local.h"
#include "request.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstring>
#include <map>

using fuzz_support::Expect;
using fuzz_support::Printable;
using namespace netvigil_shutdown;

namespace {

constexpr const char* kHostname = "office-pc";
const std::vector<std::string> kAddresses = {"127.0.0.1", "::1", "192.0.2.7", "2001:db8::7",
                                             "fe80::7"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The resolver as the system's works: the numeric forms inet_aton takes
// ("127.1", "0x7f000001"), IPv6 literals, and names from the hosts file,
// in any case and with a final dot or without.
std::vector<std::string> Resolve(const std::string& name) {
    in_addr v4{};
    if (name.find('\0') == std::string::npos && inet_aton(name.c_str(), &v4) != 0) {
        char text[INET_ADDRSTRLEN];
        return {inet_ntop(AF_INET, &v4, text, sizeof text)};
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, name.c_str(), &v6) == 1) {
        return {name};
    }
    static const std::map<std::string, std::vector<std::string>> kHosts = {
        {"localhost", {"127.0.0.1", "::1"}},
        {"ip6-localhost", {"::1"}},
        {"ip6-loopback", {"::1"}},
        {"office-pc", {"127.0.1.1"}},
        {"office-pc.example.org", {"192.0.2.7", "2001:db8::7"}},
        {"printer.example.org", {"192.0.2.9"}},
        {"alias.example.org", {"192.0.2.7"}},
        {"pc7", {"192.0.2.77"}}};
    std::string key = Lower(name);
    if (key.ends_with('.')) {
        key.pop_back();
    }
    const auto it = kHosts.find(key);
    return it == kHosts.end() ? std::vector<std::string>{} : it->second;
}

bool LocalAddress(const std::string& text) {
    unsigned char bytes[16] = {};
    if (inet_pton(AF_INET, text.c_str(), bytes) == 1) {
        const bool any = std::all_of(bytes, bytes + 4, [](unsigned char b) { return b == 0; });
        return bytes[0] == 127 || any ||
               std::find(kAddresses.begin(), kAddresses.end(), text) != kAddresses.end();
    }
    if (inet_pton(AF_INET6, text.c_str(), bytes) != 1) {
        return false;
    }
    static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    const bool loopbackOrAny =
        std::all_of(bytes, bytes + 15, [](unsigned char b) { return b == 0; }) && bytes[15] <= 1;
    if (loopbackOrAny || std::memcmp(bytes, kMapped, sizeof kMapped) == 0) {
        return true;
    }
    for (const std::string& own : kAddresses) {
        unsigned char mine[16] = {};
        if (inet_pton(AF_INET6, own.c_str(), mine) == 1 && std::memcmp(mine, bytes, 16) == 0) {
            return true;
        }
    }
    return false;
}

bool ReachesThisMachine(const std::string& host) {
    const std::string name = Lower(host);
    if (name == "localhost" || name.starts_with("localhost.") || name == kHostname ||
        name.starts_with(std::string(kHostname) + ".")) {
        return true;
    }
    if (LocalAddress(host)) {
        return true;
    }
    const auto found = Resolve(host);
    return std::any_of(found.begin(), found.end(), LocalAddress);
}

// The host the command names, as net's option parser (popt) reads it: an
// option that takes a value takes the next word, whatever it looks like.
std::vector<std::string> TargetsOf(const std::vector<std::string>& command) {
    std::vector<std::string> targets;
    for (std::size_t i = 3; i < command.size(); ++i) {
        const std::string& word = command[i];
        if (word == "-S" || word == "-I") {
            Expect(i + 1 < command.size(), "a host option has its host");
            targets.push_back(command[++i]);
        } else if (word == "-t" || word == "-C") {
            ++i;
        } else {
            Expect(word == "-r" || word == "-f", "net gets only options it knows", Printable(word));
        }
    }
    return targets;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz_support::Bytes(data, size);
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t nul; (nul = input.find('\0', start)) != std::string_view::npos;
         start = nul + 1) {
        args.emplace_back(input.substr(start, nul - start));
    }
    args.emplace_back(input.substr(start));

    const auto parsed = ParseArguments(args);
    const auto* request = std::get_if<Request>(&parsed);
    if (request == nullptr) {
        return 0;
    }
    Expect(PlainHost(request->host), "an accepted host is a plain name or address",
           Printable(request->host));
    MachineFacts facts{kHostname, kAddresses, Resolve};
    if (IsThisMachine(request->host, facts)) {
        return 0;
    }
    const auto command = NetCommand(*request);
    Expect(command.size() >= 5 && command[0] == "net" && command[1] == "rpc",
           "the command is net rpc");
    const auto targets = TargetsOf(command);
    Expect(targets == std::vector<std::string>{request->host}, "net is given the one host checked",
           Printable(request->host));
    Expect(!ReachesThisMachine(request->host), "no accepted host is this machine",
           Printable(request->host));
    return 0;
}
