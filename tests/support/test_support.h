#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// How long a test waits for what it expects before it gives up: enough for a
// loaded two-core machine. A wait ends as soon as its condition holds, so
// only a failure takes this long.
inline constexpr std::chrono::seconds kWaitLimit{20};

// Looks at condition until it holds, up to limit; whether it did. Between
// looks the process goes on with what SetWhileWaiting names.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = kWaitLimit);

// What this process must go on doing while a test waits (handling its own
// windows' events or its bus's calls); nothing unless set.
void SetWhileWaiting(std::function<void()> work);

// A fresh directory, removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A fresh directory in memory where the system keeps one (/dev/shm), else
// like TempDir: for store files whose every write need not wait for a disk.
std::unique_ptr<TempDir> TempDirInMemory();

struct ProgramResult {
    int exitCode = -1; // or -signal
    std::string out;
    std::string err;
};

// Runs a program of the build (NAME in the tests' own bin/) with extra environment variables,
// feeding it stdin text, and waits for it.
ProgramResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {},
                         const std::string& input = {});

std::string BinDir();
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Sets an environment variable for the scope, restoring the old value after.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Where Wine is known to answer otherwise than Windows: true when the tests run
// under Wine, and then the difference is named in the test's output and its
// record. The test expects Windows' answer unless this says Wine differs.
bool WineDiffers(const std::string& what);

} // namespace testing_support

namespace testing_support {

// Moves this process (and every child it starts from now on) into a new,
// private network namespace with loopback up; a Windows test cannot, and is
// started in one by its runner (wine-run --private-network). False, with the
// reason, where namespaces cannot be made here.
bool EnterPrivateNetwork(std::string* why);

// Writes a value under /proc/sys, as sysctl -w does, for this namespace.
bool WriteSysctl(const std::string& name, const std::string& value);

// The open descriptors of this process (on Linux; on Windows, which opens
// handles of its own as it goes, none are counted), and its children
// (zombies too).
int OpenDescriptorCount();
int ChildProcessCount();

// Waits for the child count to fall to at most n.
bool WaitForChildCount(int n);

} // namespace testing_support
