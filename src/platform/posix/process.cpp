// Pipes and processes over posix_spawn, which stays fast however much memory
// the calling program holds.

#include "platform/process.h"

#include "platform/command_line.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/posix/spawn.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

extern char** environ;

namespace platform {

namespace {

struct Object {
    enum class Kind { Pipe, Process, Thread } kind;
    int fd = -1;
    pid_t pid = 0;
};

std::mutex g_lock;
std::unordered_map<HANDLE, Object> g_objects;
// Never reused, so a handle used after its close fails instead of reaching
// whatever was opened next.
HANDLE g_nextHandle = 0x10000;
thread_local DWORD t_lastError = 0;

// The wait of the thread that set it; other threads' reads block.
PipeWait g_pipeWait;
std::thread::id g_pipeWaitThread;

HANDLE Add(Object object) {
    const std::lock_guard guard(g_lock);
    const HANDLE handle = g_nextHandle;
    g_nextHandle += 4;
    g_objects.emplace(handle, object);
    detail::HandleOpened();
    return handle;
}

bool Find(HANDLE handle, Object* object) {
    const std::lock_guard guard(g_lock);
    const auto it = g_objects.find(handle);
    if (it == g_objects.end()) {
        return false;
    }
    *object = it->second;
    return true;
}

DWORD FromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EPIPE:
        return ERROR_BROKEN_PIPE;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

BOOL Fail(DWORD error) {
    t_lastError = error;
    return FALSE;
}

// A child that outlives its handle is waited for on a thread of its own, so
// it never lingers as a zombie and nobody is kept waiting for it.
void Reap(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != 0) {
        return;
    }
    std::thread([pid] {
        int ignored = 0;
        while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// A Windows environment block: "NAME=value" strings, each ending in a zero,
// and one more zero at the end.
std::vector<std::string> EnvironmentBlock(const char* block) {
    std::vector<std::string> entries;
    for (const char* entry = block; *entry != '\0'; entry += entries.back().size() + 1) {
        entries.emplace_back(entry);
    }
    return entries;
}

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &m_actions; }

    // The handle's descriptor as the child's descriptor target, or the null
    // device when the handle names no pipe.
    void Standard(HANDLE handle, int target) {
        Object object;
        if (handle != 0 && Find(handle, &object) && object.kind == Object::Kind::Pipe) {
            posix_spawn_file_actions_adddup2(&m_actions, object.fd, target);
        } else {
            posix_spawn_file_actions_addopen(&m_actions, target, "/dev/null",
                                             target == 0 ? O_RDONLY : O_WRONLY, 0);
        }
    }

private:
    posix_spawn_file_actions_t m_actions;
};

class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&m_attributes);
        // The child starts with no blocked signals and every handler at its
        // default, whatever this process ignores (SIGPIPE, say).
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&m_attributes, &none);
        posix_spawnattr_setsigdefault(&m_attributes, &all);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* Get() { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

// Whether a read would return at once: there is data, or the end.
bool Readable(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, 0) != 0;
}

PipeWait WaitOfThisThread() {
    const std::lock_guard guard(g_lock);
    return g_pipeWaitThread == std::this_thread::get_id() ? g_pipeWait : PipeWait{};
}

} // namespace

void SetPipeWait(PipeWait wait) {
    const std::lock_guard guard(g_lock);
    g_pipeWait = std::move(wait);
    g_pipeWaitThread = std::this_thread::get_id();
}

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

BOOL CreatePipe(HANDLE* hReadPipe, HANDLE* hWritePipe, const SECURITY_ATTRIBUTES* /*attributes*/,
                DWORD /*nSize*/) {
    if (hReadPipe == nullptr || hWritePipe == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return Fail(FromErrno(errno));
    }
    *hReadPipe = Add({Object::Kind::Pipe, fds[0], 0});
    *hWritePipe = Add({Object::Kind::Pipe, fds[1], 0});
    return TRUE;
}

namespace posix {

BOOL SpawnProcess(const char* lpApplicationName, char* lpCommandLine, void* lpEnvironment,
                  const char* lpCurrentDirectory, STARTUPINFO* lpStartupInfo,
                  PROCESS_INFORMATION* lpProcessInformation) {
    if (lpProcessInformation == nullptr ||
        (lpApplicationName == nullptr && lpCommandLine == nullptr)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::vector<std::string> args =
        CommandLineToArgv(lpCommandLine != nullptr ? lpCommandLine : lpApplicationName);
    const std::string path =
        FindProgram(lpApplicationName != nullptr ? lpApplicationName : args[0]);
    if (path.empty()) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }

    SpawnActions actions;
    const bool redirected =
        lpStartupInfo != nullptr && (lpStartupInfo->dwFlags & STARTF_USESTDHANDLES) != 0;
    actions.Standard(redirected ? lpStartupInfo->hStdInput : 0, 0);
    if (redirected) {
        actions.Standard(lpStartupInfo->hStdOutput, 1);
        actions.Standard(lpStartupInfo->hStdError, 2);
    }
    // Whatever descriptors some library left open without close-on-exec,
    // the child gets none of them.
    posix_spawn_file_actions_addclosefrom_np(actions.Get(), 3);
    if (lpCurrentDirectory != nullptr) {
        posix_spawn_file_actions_addchdir_np(actions.Get(), lpCurrentDirectory);
    }
    SpawnAttributes attributes;

    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    std::vector<char*> envp;
    if (lpEnvironment != nullptr) {
        environment = EnvironmentBlock(static_cast<const char*>(lpEnvironment));
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
    }

    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, path.c_str(), actions.Get(), attributes.Get(), argv.data(),
                                 lpEnvironment != nullptr ? envp.data() : environ);
    if (rc != 0) {
        return Fail(FromErrno(rc));
    }
    lpProcessInformation->hProcess = Add({Object::Kind::Process, -1, pid});
    lpProcessInformation->hThread = Add({Object::Kind::Thread, -1, pid});
    lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
    lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);
    return TRUE;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno != EINTR) {
            return false;
        }
        bytes.remove_prefix(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    return true;
}

} // namespace

bool WriteToPipe(HANDLE hPipe, std::string_view bytes, std::chrono::milliseconds after) {
    Object object;
    if (!Find(hPipe, &object) || object.kind != Object::Kind::Pipe) {
        return false;
    }
    if (after <= std::chrono::milliseconds::zero()) {
        return WriteAll(object.fd, bytes);
    }
    const int fd = ::fcntl(object.fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    std::thread([fd, after, text = std::string(bytes)] {
        std::this_thread::sleep_for(after);
        WriteAll(fd, text);
        ::close(fd);
    }).detach();
    return true;
}

HANDLE NewProcessHandle() {
    return Add({Object::Kind::Thread, -1, 0});
}

} // namespace posix

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped) {
    if (lpNumberOfBytesRead != nullptr) {
        *lpNumberOfBytesRead = 0;
    }
    Object object;
    if (!Find(hFile, &object) || object.kind != Object::Kind::Pipe) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (lpOverlapped != nullptr || lpBuffer == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    ssize_t n = 0;
    int error = 0;
    const auto read = [&] {
        do {
            n = ::read(object.fd, lpBuffer, nNumberOfBytesToRead);
        } while (n < 0 && errno == EINTR);
        error = errno;
    };
    const PipeWait wait = WaitOfThisThread();
    if (wait && !Readable(object.fd)) {
        wait(read);
    } else {
        read();
    }
    if (n < 0) {
        return Fail(FromErrno(error));
    }
    if (n == 0 && nNumberOfBytesToRead > 0) {
        return Fail(ERROR_BROKEN_PIPE);
    }
    if (lpNumberOfBytesRead != nullptr) {
        *lpNumberOfBytesRead = static_cast<DWORD>(n);
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
    Object object;
    {
        const std::lock_guard guard(g_lock);
        const auto it = g_objects.find(hObject);
        if (it == g_objects.end()) {
            return Fail(ERROR_INVALID_HANDLE);
        }
        object = it->second;
        g_objects.erase(it);
    }
    detail::HandleClosed();
    if (object.kind == Object::Kind::Pipe) {
        ::close(object.fd);
    } else if (object.kind == Object::Kind::Process) {
        Reap(object.pid);
    }
    return TRUE;
}

} // namespace platform
