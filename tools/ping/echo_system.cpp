// The last resort: the system's own ping (iputils), run once per request with
// its answer translated. It is found on PATH, never ourselves.

#include "echo.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <regex>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace netvigil_ping {

std::unique_ptr<Echo> OpenSocketEcho(int family, bool raw, int* error);

namespace {

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

std::string SystemPing() {
    const std::string self = RealPath("/proc/self/exe");
    const char* path = std::getenv("PATH");
    std::string dirs = std::string(path != nullptr ? path : "") + ":/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const auto colon = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, colon - start) + "/ping";
        start = colon + 1;
        if (candidate.front() == '/' && ::access(candidate.c_str(), X_OK) == 0 &&
            RealPath(candidate) != self) {
            return candidate;
        }
    }
    return {};
}

class SystemEcho final : public Echo {
public:
    explicit SystemEcho(std::string program) : m_program(std::move(program)) {}

    Outcome Ping(const Target& target, int /*sequence*/,
                 std::chrono::milliseconds timeout) override {
        // 0 is "do not wait" here, as for our own sockets; to the system's
        // ping, -W 0 is "wait for ever".
        if (timeout <= std::chrono::milliseconds::zero()) {
            return {};
        }
        const std::string wait = std::to_string(static_cast<double>(timeout.count()) / 1000.0);
        const bool v6 = target.address.ss_family == AF_INET6;
        std::vector<std::string> args = {m_program, v6 ? "-6" : "-4", "-n", "-c", "1", "-W",
                                         wait,      target.text};
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        // Its messages are read in English, whatever the user's language.
        std::vector<std::string> env = {"LC_ALL=C"};
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "LC_", 3) != 0 && std::strncmp(*e, "LANG", 4) != 0) {
                env.emplace_back(*e);
            }
        }
        std::vector<char*> envp;
        for (auto& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);

        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return {Outcome::Kind::Error, {}, -1, "General failure."};
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        pid_t pid = 0;
        const int rc =
            ::posix_spawn(&pid, m_program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        std::string output;
        char buffer[512];
        for (ssize_t n; rc == 0 && ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 ||
                                    (n < 0 && errno == EINTR));) {
            output.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
        }
        ::close(fds[0]);
        if (rc != 0) {
            return {Outcome::Kind::Error, {}, -1, "General failure."};
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return Translate(output, target.text);
    }

private:
    static Outcome Translate(const std::string& output, const std::string& address) {
        static const std::regex reply(
            R"(bytes from (\S+): icmp_seq=\d+ ttl=(\d+) time=([\d.]+) ms)");
        static const std::regex error(R"(From [^ ]+ icmp_seq=\d+ (.*))");
        std::smatch m;
        if (std::regex_search(output, m, reply) && m[1] == address) {
            const auto micros = static_cast<long long>(std::stod(m[3]) * 1000.0);
            return {Outcome::Kind::Reply, std::chrono::microseconds(micros), std::stoi(m[2]), {}};
        }
        if (std::regex_search(output, m, error)) {
            const std::string what = m[1];
            if (what.find("Net Unreachable") != std::string::npos) {
                return {Outcome::Kind::Error, {}, -1, "Destination net unreachable."};
            }
            if (what.find("Time to live exceeded") != std::string::npos) {
                return {Outcome::Kind::Error, {}, -1, "TTL expired in transit."};
            }
            return {Outcome::Kind::Error, {}, -1, "Destination host unreachable."};
        }
        return {};
    }

    std::string m_program;
};

std::string FixText(int family) {
    const std::string self = RealPath("/proc/self/exe");
    return std::string("Ping cannot open an ICMP") + (family == AF_INET6 ? "v6" : "") +
           " socket: " + std::strerror(EPERM) +
           ", and no system ping was found to stand in.\n"
           "To let it send echo requests, either give it the capability (as root):\n"
           "    setcap cap_net_raw+ep " +
           (self.empty() ? "ping" : self) +
           "\n"
           "or let your group open ICMP sockets (as root):\n"
           "    sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n";
}

} // namespace

std::unique_ptr<Echo> OpenEcho(int family, std::string* why) {
    const char* forced = std::getenv("NETVIGIL_PING_METHOD");
    const std::string_view method = forced != nullptr ? forced : "";
    int error = 0;
    if (method.empty() || method == "datagram") {
        if (auto echo = OpenSocketEcho(family, false, &error)) {
            return echo;
        }
    }
    if (method.empty() || method == "raw") {
        if (auto echo = OpenSocketEcho(family, true, &error)) {
            return echo;
        }
    }
    if (method.empty() || method == "system") {
        if (std::string program = SystemPing(); !program.empty()) {
            return std::make_unique<SystemEcho>(std::move(program));
        }
    }
    *why = FixText(family);
    return nullptr;
}

} // namespace netvigil_ping
