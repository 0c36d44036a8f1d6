#include "echo_requests.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

EchoRequests::EchoRequests(const std::string& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) == 1) {
        m_address = parsed.s_addr;
        // A raw ICMP socket is given a copy of every ICMP packet that comes
        // in, before the kernel answers or ignores it.
        m_fd = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    }
}

EchoRequests::~EchoRequests() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

int EchoRequests::Count() {
    if (m_fd < 0) {
        return -1;
    }
    unsigned char packet[2048];
    for (ssize_t n; (n = ::recv(m_fd, packet, sizeof packet, 0)) > 0;) {
        ip header{};
        if (static_cast<std::size_t>(n) < sizeof header) {
            continue;
        }
        std::memcpy(&header, packet, sizeof header);
        const auto length = static_cast<std::size_t>(header.ip_hl) * 4;
        if (static_cast<std::size_t>(n) > length && packet[length] == ICMP_ECHO &&
            header.ip_dst.s_addr == m_address) {
            ++m_count;
        }
    }
    return m_count;
}

} // namespace testing_support
