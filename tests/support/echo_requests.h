#pragma once

// The echo requests that reach one address of the test's own network, as the
// host there sees them: how a test knows that a program's sweeps have pinged
// the host so many times (each request that came while the host was silent
// went unanswered; each one that came while it answered got its reply).

#include <cstdint>
#include <string>

namespace testing_support {

class EchoRequests {
public:
    // Counts from now on. Needs a raw socket (root, or CAP_NET_RAW).
    explicit EchoRequests(const std::string& address);
    ~EchoRequests();
    EchoRequests(const EchoRequests&) = delete;
    EchoRequests& operator=(const EchoRequests&) = delete;

    // Those that have come so far; -1 where they cannot be seen.
    int Count();

private:
    int m_fd = -1;
    std::uint32_t m_address = 0; // network order
    int m_count = 0;
};

} // namespace testing_support
