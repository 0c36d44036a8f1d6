// Names and output on Windows. GetAddrInfoW has no time limit of its own, so
// a name is looked up on a thread of its own and waited for at most
// kResolveLimit; a lookup still running then is left to end with the process.
// Names cross as UTF-16, which Windows reads the same whatever its code page.

#include "host.h"

#include "platform/utf8.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace netvigil_ping {

namespace {

struct Lookup {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::optional<Target> target;
};

std::optional<Target> FirstAddress(const std::string& name, int family, int flags) {
    ADDRINFOW hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_RAW;
    hints.ai_flags = flags;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(platform::Utf16<wchar_t>(name).c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr) {
        return std::nullopt;
    }
    Target target;
    std::memcpy(&target.address, found->ai_addr, found->ai_addrlen);
    target.length = static_cast<socklen_t>(found->ai_addrlen);
    wchar_t host[NI_MAXHOST] = {};
    GetNameInfoW(found->ai_addr, target.length, host, NI_MAXHOST, nullptr, 0, NI_NUMERICHOST);
    target.text = platform::Utf8FromUtf16(std::wstring_view(host));
    FreeAddrInfoW(found);
    return target;
}

} // namespace

std::optional<Target> Resolve(const std::string& name, int family, bool* literal) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    *literal = false;
    if (!started) {
        return std::nullopt;
    }
    if (auto target = FirstAddress(name, family, AI_NUMERICHOST)) {
        *literal = true;
        return target;
    }
    const auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, name, family] {
        auto target = FirstAddress(name, family, AI_ADDRCONFIG);
        const std::lock_guard guard(lookup->lock);
        lookup->target = std::move(target);
        lookup->finished = true;
        lookup->done.notify_one();
    }).detach();
    std::unique_lock guard(lookup->lock);
    lookup->done.wait_for(guard, kResolveLimit, [&] { return lookup->finished; });
    return lookup->finished ? lookup->target : std::nullopt;
}

void StartOutput() {
    // Every write to a pipe costs a round trip through the system (under Wine
    // a fraction of a millisecond): a character at a time, the lines of one
    // ping took longer than the ping. What goes to a console does not pass
    // through here: the program's entry writes it a line at a time.
    setvbuf(stdout, nullptr, _IOFBF, 4096);
}

} // namespace netvigil_ping
