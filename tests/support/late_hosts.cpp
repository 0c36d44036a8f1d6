#include "late_hosts.h"

#include "test_support.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

std::string Said(Delay delay) {
    return delay ? std::to_string(delay->count()) : "silent";
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
    // Several sets may live in one test: each its own link and subnet; the
    // namespace's name is the machine's.
    static int made = 0;
    const int n = made++;
    m_subnet = "10.209." + std::to_string(n) + ".";
    std::vector<std::string> args = {
        "/bin/sh", NETVIGIL_LATE_HOSTS_SCRIPT, BinDir() + "/test_late_host",
        "nvlate" + std::to_string(::getpid()) + "-" + std::to_string(n), std::to_string(n)};
    for (const Delay& delay : delays) {
        args.push_back(Said(delay));
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
    m_script = pid;
    if (pid < 0 || !WaitForLine(m_said, "ready")) {
        m_why = "the late hosts did not start (see the test's error output)";
    }
}

LateHosts::~LateHosts() {
    if (m_control < 0) {
        return;
    }
    // The end of its input ends the responder, and the script takes its
    // namespace away.
    ::close(m_control);
    ::close(m_said);
    int status = 0;
    while (m_script > 0 && ::waitpid(m_script, &status, 0) < 0 && errno == EINTR) {
    }
}

std::string LateHosts::Address(std::size_t i) const {
    return m_subnet + std::to_string(i + 2);
}

bool LateHosts::SetDelay(std::size_t i, Delay delay) {
    const std::string spec = Address(i) + "=" + Said(delay);
    const std::string line = spec + "\n";
    return m_control >= 0 &&
           ::write(m_control, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
           WaitForLine(m_said, spec);
}

} // namespace testing_support
