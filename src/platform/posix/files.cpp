#include "platform/files.h"

#include "platform/posix/home.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool WriteFileWhole(const std::string& path, const std::string& bytes) {
    const auto slash = path.rfind('/');
    std::string temporary =
        (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
        ".netvigil-reg-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    // The permissions any new file of ours gets, not mkstemp's private ones.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool written = ::fchmod(fd, 0666 & ~mask) == 0;
    for (std::size_t done = 0; written && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        written = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    written = ::fsync(fd) == 0 && written;
    written = ::close(fd) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string StateFilePath(const std::string& name) {
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string base = state != nullptr && state[0] == '/'
                                 ? std::string(state)
                                 : posix::HomeDirectory() + "/.local/state";
    return base + "/netvigil/" + name;
}

bool CreateFolderFor(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return true;
    }
    const std::string folder = path.substr(0, slash);
    // Made for the user alone, as XDG asks of the folders it names.
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        if (::mkdir(folder.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (at == std::string::npos) {
            break;
        }
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    // One write: O_APPEND places it whole at the end, whoever else appends.
    ssize_t n = 0;
    do {
        n = ::write(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    const bool written = n == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && written;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace platform
