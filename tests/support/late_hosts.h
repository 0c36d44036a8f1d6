#pragma once

// Hosts of the test's own, in a network namespace beside the test's private
// one and reached over a veth pair, as real hosts are: each answers echo
// requests after its own delay, or never (late_hosts.sh, the same for the
// scripts that test under Wine). Made in the test's private network
// (EnterPrivateNetwork, called here); gone with the object.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

using Delay = std::optional<std::chrono::milliseconds>; // none: never answers

class LateHosts {
public:
    explicit LateHosts(const std::vector<Delay>& delays);
    ~LateHosts();
    LateHosts(const LateHosts&) = delete;
    LateHosts& operator=(const LateHosts&) = delete;

    // Empty when the hosts answer as asked, else why they cannot.
    const std::string& Why() const { return m_why; }
    // Host i's address, 0 being the first delay's.
    std::string Address(std::size_t i) const;
    // Host i answers after another delay from the return on.
    bool SetDelay(std::size_t i, Delay delay);

private:
    std::string m_why;
    std::string m_subnet; // "10.209.N."
    int m_control = -1;   // the responder's standard input
    int m_said = -1;      // and its output
    int m_script = -1;    // tests/support/late_hosts.sh, the responder's parent
};

} // namespace testing_support
