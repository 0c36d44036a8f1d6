#include "test_support.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support {

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/netvigil-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests make files read-only; give the write bits back so all can go.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_path, ignored);
}

std::string BinDir() {
    // Tests are built into bin/ beside the programs they run.
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

std::unique_ptr<TempDir> TempDirInMemory() {
    std::error_code ignored;
    if (!std::filesystem::is_directory("/dev/shm", ignored)) {
        return std::make_unique<TempDir>();
    }
    const ScopedEnv inMemory("TMPDIR", "/dev/shm");
    return std::make_unique<TempDir>();
}

ProgramResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& input) {
    // A child that exits without reading its input must not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    int err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::string path = name.find('/') == std::string::npos ? BinDir() + "/" + name : name;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (const auto& [key, value] : env) {
            ::setenv(key.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    ProgramResult result;
    std::size_t written = 0;
    if (input.empty()) {
        ::close(in[1]);
        in[1] = -1;
    }
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, in[1] >= 0 ? 3 : 2, -1) < 0 && errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents != 0) {
                char buf[4096];
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
                }
            }
        }
        if (in[1] >= 0 && fds[2].revents != 0) {
            const ssize_t n = ::write(in[1], input.data() + written, input.size() - written);
            written += n > 0 ? static_cast<std::size_t>(n) : 0;
            if (n < 0 || written == input.size()) {
                ::close(in[1]);
                in[1] = -1;
            }
        }
    }
    if (in[1] >= 0) {
        ::close(in[1]);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return result;
}

bool WineDiffers(const std::string& /*what*/) {
    return false;
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_old = old;
    }
    if (value) {
        ::setenv(m_name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (m_old) {
        ::setenv(m_name.c_str(), m_old->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

} // namespace testing_support

#include <dirent.h>
#include <fstream>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace testing_support {

bool EnterPrivateNetwork(std::string* why) {
    static bool entered = false;
    if (entered) {
        return true;
    }
    if (::unshare(CLONE_NEWNET) != 0) {
        *why = std::string("cannot make a network namespace here: ") + std::strerror(errno);
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 &&
                    (ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP),
                     ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0);
    if (fd >= 0) {
        ::close(fd);
    }
    if (!up) {
        *why = std::string("cannot bring up loopback: ") + std::strerror(errno);
        return false;
    }
    entered = true;
    return true;
}

bool WriteSysctl(const std::string& name, const std::string& value) {
    std::string path = "/proc/sys/" + name;
    for (char& c : path) {
        c = c == '.' ? '/' : c;
    }
    std::ofstream out(path);
    out << value << '\n';
    out.close();
    return static_cast<bool>(out);
}

int OpenDescriptorCount() {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    for (dirent* e; dir != nullptr && (e = ::readdir(dir)) != nullptr;) {
        count += e->d_name[0] != '.';
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return count - 1; // the directory's own descriptor
}

int ChildProcessCount() {
    const std::string self = std::to_string(::getpid());
    int count = 0;
    DIR* dir = ::opendir("/proc");
    for (dirent* e; dir != nullptr && (e = ::readdir(dir)) != nullptr;) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') {
            continue;
        }
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        // pid (comm) state ppid ...: the name may hold blanks, so count from its end.
        const auto close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        std::string ppid;
        rest >> state >> ppid;
        count += ppid == self;
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return count;
}

} // namespace testing_support
