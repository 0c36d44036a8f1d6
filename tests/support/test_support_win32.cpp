// The tests' helpers on Windows (under Wine): the same promises as on Linux,
// kept with the Windows API.

#include "platform/command_line.h"
#include "test_support.h"

#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace testing_support {

namespace {

// The calling process's environment with some variables replaced, as a
// Windows environment block.
std::string EnvironmentBlock(const std::map<std::string, std::string>& env) {
    std::map<std::string, std::string> merged;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
        const char* eq = std::strchr(entry + 1, '=');
        if (eq != nullptr) {
            merged[std::string(entry, eq)] = eq + 1;
        }
    }
    FreeEnvironmentStringsA(block);
    for (const auto& [key, value] : env) {
        merged[key] = value;
    }
    std::string out;
    for (const auto& [key, value] : merged) {
        out += key + "=" + value + '\0';
    }
    return out + '\0';
}

void Drain(HANDLE pipe, std::string* into) {
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) != FALSE && read > 0) {
        into->append(buffer, read);
    }
}

} // namespace

TempDir::TempDir() {
    const auto base = std::filesystem::temp_directory_path();
    for (unsigned attempt = 0;; ++attempt) {
        const auto path = base / ("netvigil-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount64()) + "-" + std::to_string(attempt));
        if (CreateDirectoryA(path.string().c_str(), nullptr) != FALSE) {
            m_path = path.string();
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            throw std::runtime_error("cannot make a temporary directory");
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string BinDir() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::string(path, length)).parent_path().string();
}

std::unique_ptr<TempDir> TempDirInMemory() {
    return std::make_unique<TempDir>();
}

ProgramResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& input) {
    std::string path = name;
    if (name.find_first_of("/\\") == std::string::npos) {
        path = BinDir() + "\\" + name + (name.ends_with(".exe") ? "" : ".exe");
    }
    std::vector<std::string> argv = {path};
    argv.insert(argv.end(), args.begin(), args.end());
    auto line = platform::ArgvToCommandLine(argv);
    if (!line) {
        throw std::runtime_error("no command line gives these arguments");
    }
    std::string commandLine = std::move(*line);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE in[2];
    HANDLE out[2];
    HANDLE err[2];
    if (CreatePipe(&in[0], &in[1], &inherit, 0) == FALSE ||
        CreatePipe(&out[0], &out[1], &inherit, 0) == FALSE ||
        CreatePipe(&err[0], &err[1], &inherit, 0) == FALSE) {
        throw std::runtime_error("pipe failed");
    }
    for (HANDLE own : {in[1], out[0], err[0]}) {
        SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in[0];
    si.hStdOutput = out[1];
    si.hStdError = err[1];
    PROCESS_INFORMATION pi{};
    std::string block = EnvironmentBlock(env);
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        block.data(), nullptr, &si, &pi);
    for (HANDLE childs : {in[0], out[1], err[1]}) {
        CloseHandle(childs);
    }
    ProgramResult result;
    if (started == FALSE) {
        for (HANDLE own : {in[1], out[0], err[0]}) {
            CloseHandle(own);
        }
        result.exitCode = 127;
        return result;
    }
    std::thread errors([&] { Drain(err[0], &result.err); });
    std::thread writer([&] {
        DWORD written = 0;
        for (std::size_t at = 0; at < input.size(); at += written) {
            if (WriteFile(in[1], input.data() + at, static_cast<DWORD>(input.size() - at), &written,
                          nullptr) == FALSE) {
                break;
            }
        }
        CloseHandle(in[1]);
    });
    Drain(out[0], &result.out);
    errors.join();
    writer.join();
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result.exitCode = static_cast<int>(code);
    for (HANDLE own : {out[0], err[0], pi.hProcess, pi.hThread}) {
        CloseHandle(own);
    }
    return result;
}

bool WineDiffers(const std::string& what) {
    static const bool wine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    if (wine) {
        std::printf("[ WINE     ] differs from Windows: %s\n", what.c_str());
        ::testing::Test::RecordProperty("wine_differs", what);
    }
    return wine;
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_old = old;
    }
    // An empty value removes the variable, from the runtime's copy and from
    // the process's own environment.
    _putenv_s(m_name.c_str(), value ? value->c_str() : "");
}

ScopedEnv::~ScopedEnv() {
    _putenv_s(m_name.c_str(), m_old ? m_old->c_str() : "");
}

bool EnterPrivateNetwork(std::string* why) {
    if (std::getenv("NETVIGIL_TEST_PRIVATE_NETWORK") != nullptr) {
        return true;
    }
    *why = "needs a private network namespace: run it through wine-run --private-network (as root)";
    return false;
}

bool WriteSysctl(const std::string& name, const std::string& value) {
    // Wine's drive Z: is the root of the Linux file system.
    std::string path = "Z:\\proc\\sys\\" + name;
    for (char& c : path) {
        c = c == '.' ? '\\' : c;
    }
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::string line = value + "\n";
    DWORD written = 0;
    const bool ok =
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != FALSE &&
        written == line.size();
    CloseHandle(file);
    return ok;
}

// Windows opens handles of its own whenever it first needs them (for the
// first process started, the first file looked for), so the process's count
// is no measure of what a test left open; Wine 8 gives 0 for it whatever the
// process holds. What the program's own code opens, the platform's handle
// count (platform/handles.h) measures on every system.
int OpenDescriptorCount() {
    return 0;
}

int ChildProcessCount() {
    const DWORD self = GetCurrentProcessId();
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int count = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more != FALSE;
         more = Process32Next(snapshot, &entry)) {
        count += entry.th32ParentProcessID == self && entry.th32ProcessID != self;
    }
    CloseHandle(snapshot);
    return count;
}

} // namespace testing_support

#include "late_hosts.h"

namespace testing_support {

// wine-run --late-hosts makes the hosts, in its order, and names them in
// NETVIGIL_TEST_LATE_HOSTS; a test asks for the same delays.
LateHosts::LateHosts(const std::vector<Delay>& delays) : m_subnet("10.209.0.") {
    std::string asked;
    for (std::size_t i = 0; i < delays.size(); ++i) {
        asked += (i == 0 ? "" : " ") + Address(i) + "=" +
                 (delays[i] ? std::to_string(delays[i]->count()) : "silent");
    }
    const char* made = std::getenv("NETVIGIL_TEST_LATE_HOSTS");
    if (made == nullptr || asked != made) {
        m_why = "needs the hosts " + asked + " of wine-run --late-hosts; it made " +
                (made != nullptr ? made : "none");
    }
}

LateHosts::~LateHosts() = default;

std::string LateHosts::Address(std::size_t i) const {
    return m_subnet + std::to_string(i + 2);
}

// The hosts answer as wine-run started them.
bool LateHosts::SetDelay(std::size_t /*i*/, Delay /*delay*/) {
    return false;
}

} // namespace testing_support
