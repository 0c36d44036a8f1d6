// Hosts of the tests' own that answer like real ones: late, or not at all.
// Run inside a network namespace whose kernel answers no echo request
// (net.ipv4.icmp_echo_ignore_all=1), on addresses of its interfaces:
//
//   test_late_host ADDRESS=DELAY...
//
// DELAY is milliseconds, or "silent" for a host that never answers. Each
// echo request to ADDRESS is answered DELAY after it came. "ready" on
// standard output says that every address listens; a line ADDRESS=DELAY on
// standard input changes a host's delay, and is said back once it has; the
// end of standard input ends the program, so it never outlives the test that
// started it.

#include "classify.h"

#include <queue>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Host {
    int fd = -1;
    std::optional<std::chrono::milliseconds> delay; // none: silent
};

struct Answer {
    Clock::time_point due;
    int fd;
    sockaddr_in to;
    std::vector<unsigned char> packet;
    bool operator>(const Answer& other) const { return due > other.due; }
};

// "ADDRESS=DELAY" into the table; false when it is not one.
bool Apply(const std::string& spec, std::map<std::string, Host>* hosts) {
    const auto eq = spec.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    const std::string address = spec.substr(0, eq);
    const std::string delay = spec.substr(eq + 1);
    Host& host = (*hosts)[address];
    if (delay == "silent") {
        host.delay.reset();
    } else {
        char* end = nullptr;
        const long ms = std::strtol(delay.c_str(), &end, 10);
        if (delay.empty() || *end != '\0' || ms < 0) {
            return false;
        }
        host.delay = std::chrono::milliseconds(ms);
    }
    return true;
}

int Listen(const std::string& address) {
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    if (fd < 0 || ::inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        std::fprintf(stderr, "test_late_host: cannot listen on %s: %s\n", address.c_str(),
                     std::strerror(errno));
        return -1;
    }
    return fd;
}

// An echo request that came to the host, answered when its delay is up.
void Take(const Host& host, std::priority_queue<Answer, std::vector<Answer>, std::greater<>>* due) {
    unsigned char data[1500];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t got = ::recvfrom(host.fd, data, sizeof data, MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &length);
    if (got <= 0) {
        return;
    }
    // A raw IPv4 socket hands over the IP header too.
    const std::size_t header = static_cast<std::size_t>(data[0] & 0x0F) * 4;
    if (static_cast<std::size_t>(got) < header + 8 || data[header] != ICMP_ECHO || !host.delay) {
        return;
    }
    unsigned char* icmp = data + header;
    const std::size_t size = static_cast<std::size_t>(got) - header;
    icmp[0] = ICMP_ECHOREPLY;
    icmp[2] = icmp[3] = 0;
    const std::uint16_t sum = netvigil_ping::Checksum({icmp, size});
    icmp[2] = static_cast<unsigned char>(sum >> 8);
    icmp[3] = static_cast<unsigned char>(sum & 0xFF);
    due->push({Clock::now() + *host.delay, host.fd, from, {icmp, icmp + size}});
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, Host> hosts;
    for (int i = 1; i < argc; ++i) {
        if (!Apply(argv[i], &hosts)) {
            std::fprintf(stderr, "test_late_host: %s is not ADDRESS=DELAY\n", argv[i]);
            return 2;
        }
    }
    for (auto& [address, host] : hosts) {
        if ((host.fd = Listen(address)) < 0) {
            return 1;
        }
    }
    std::puts("ready");
    std::fflush(stdout);

    std::priority_queue<Answer, std::vector<Answer>, std::greater<>> due;
    std::string input;
    while (true) {
        std::vector<pollfd> fds{{0, POLLIN, 0}};
        for (const auto& [address, host] : hosts) {
            fds.push_back({host.fd, POLLIN, 0});
        }
        int wait = -1;
        if (!due.empty()) {
            const auto left = due.top().due - Clock::now();
            wait = static_cast<int>(
                std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        if (::poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR) {
            return 1;
        }
        while (!due.empty() && due.top().due <= Clock::now()) {
            const Answer& answer = due.top();
            ::sendto(answer.fd, answer.packet.data(), answer.packet.size(), 0,
                     reinterpret_cast<const sockaddr*>(&answer.to), sizeof answer.to);
            due.pop();
        }
        std::size_t i = 1;
        for (const auto& [address, host] : hosts) {
            if ((fds[i++].revents & POLLIN) != 0) {
                Take(host, &due);
            }
        }
        if (fds[0].revents != 0) {
            char buffer[256];
            const ssize_t n = ::read(0, buffer, sizeof buffer);
            if (n <= 0) {
                return 0;
            }
            input.append(buffer, static_cast<std::size_t>(n));
            for (auto nl = input.find('\n'); nl != std::string::npos; nl = input.find('\n')) {
                const std::string line = input.substr(0, nl);
                input.erase(0, nl + 1);
                // A new address would need a socket: only known hosts change.
                const auto eq = line.find('=');
                if (eq != std::string::npos && hosts.count(line.substr(0, eq)) != 0 &&
                    Apply(line, &hosts)) {
                    std::printf("%s\n", line.c_str());
                    std::fflush(stdout);
                }
            }
        }
    }
}
