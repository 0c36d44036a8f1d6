#include "late_hosts.h"

#include "test_support.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

std::string Spec(const std::string& address, Delay delay) {
    return address + "=" + (delay ? std::to_string(delay->count()) : "silent");
}

bool Ip(const std::vector<std::string>& args, std::string* why) {
    const ProgramResult r = RunProgram("/usr/sbin/ip", args);
    if (r.exitCode != 0 && why->empty()) {
        *why = "ip " + args.front() + " failed: " + r.err;
    }
    return r.exitCode == 0;
}

// Reads until the responder says the line, or ends.
bool WaitForLine(int fd, const std::string& line) {
    std::string said;
    char buffer[64];
    while (said.find(line + "\n") == std::string::npos) {
        pollfd pfd{fd, POLLIN, 0};
        // Generous: a loaded machine may be slow to start it.
        if (::poll(&pfd, 1, 30000) <= 0) {
            return false;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        said.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

LateHosts::LateHosts(const std::vector<Delay>& delays) {
    if (!EnterPrivateNetwork(&m_why)) {
        return;
    }
    // Several sets may live in one test; the namespace's name is the
    // machine's, the link's only the test's own network's.
    static int made = 0;
    const int n = made++;
    m_namespace = "nvlate" + std::to_string(::getpid()) + "-" + std::to_string(n);
    m_link = "nvlate" + std::to_string(n);
    m_subnet = "10.209." + std::to_string(n) + ".";
    const std::string peerLink = m_link + "p";
    bool ready =
        Ip({"netns", "add", m_namespace}, &m_why) &&
        Ip({"link", "add", m_link, "type", "veth", "peer", "name", peerLink, "netns", m_namespace},
           &m_why) &&
        Ip({"addr", "add", m_subnet + "1/24", "dev", m_link}, &m_why) &&
        Ip({"link", "set", m_link, "up"}, &m_why) &&
        Ip({"-n", m_namespace, "link", "set", peerLink, "up"}, &m_why) &&
        Ip({"netns", "exec", m_namespace, "sysctl", "-qw", "net.ipv4.icmp_echo_ignore_all=1"},
           &m_why);
    std::vector<std::string> args = {"/usr/sbin/ip", "netns", "exec", m_namespace,
                                     BinDir() + "/test_late_host"};
    for (std::size_t i = 0; ready && i < delays.size(); ++i) {
        ready = Ip({"-n", m_namespace, "addr", "add", Address(i) + "/24", "dev", peerLink}, &m_why);
        args.push_back(Spec(Address(i), delays[i]));
    }
    if (!ready) {
        return;
    }

    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        m_why = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    m_control = in[1];
    m_said = out[0];
    m_responder = pid;
    if (pid < 0 || !WaitForLine(m_said, "ready")) {
        m_why = "the late hosts' responder did not start";
    }
}

LateHosts::~LateHosts() {
    if (m_control >= 0) {
        // The end of its input ends the responder.
        ::close(m_control);
        ::close(m_said);
    }
    if (m_responder > 0) {
        int status = 0;
        while (::waitpid(m_responder, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (!m_namespace.empty()) {
        std::string ignored;
        Ip({"link", "del", m_link}, &ignored);
        Ip({"netns", "del", m_namespace}, &ignored);
    }
}

std::string LateHosts::Address(std::size_t i) const {
    return m_subnet + std::to_string(i + 2);
}

bool LateHosts::SetDelay(std::size_t i, Delay delay) {
    const std::string spec = Spec(Address(i), delay);
    const std::string line = spec + "\n";
    return m_control >= 0 &&
           ::write(m_control, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
           WaitForLine(m_said, spec);
}

} // namespace testing_support
