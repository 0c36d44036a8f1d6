// Pipes and processes: what reaches the child, what the parent reads, and
// that nothing (descriptor, handle, zombie) is left behind.

#include "platform/process.h"
#include "processes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using namespace testing_support;

namespace {

struct Captured {
    BOOL started = FALSE;
    DWORD error = 0;
    std::string output;
};

// Starts a command line with both outputs on one pipe and reads it to the end.
Captured Capture(std::string commandLine, bool closeProcess = true) {
    HANDLE read = 0;
    HANDLE write = 0;
    EXPECT_EQ(CreatePipe(&read, &write, nullptr, 0), TRUE);
    STARTUPINFO si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = write;
    PROCESS_INFORMATION pi{};
    Captured run;
    run.started = CreateProcess(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &si, &pi);
    run.error = GetLastError();
    CloseHandle(write);
    char buffer[256];
    DWORD n = 0;
    while (ReadFile(read, buffer, sizeof buffer, &n, nullptr) != FALSE) {
        run.output.append(buffer, n);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    if (closeProcess) {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(read);
    return run;
}

using Processes = LeavesNothingBehind;

TEST_F(Processes, ChildGetsOnlyItsStandardHandles) {
    // Descriptors this process holds without close-on-exec stay here too.
    const int leaky = ::dup(1);
    const Captured fds = Capture(Child() + " fds");
    ::close(leaky);
    EXPECT_EQ(fds.output, "0\n1\n2\n");
    EXPECT_EQ(Capture(Child() + " stdin").output, "stdin read 0\n");
}

TEST_F(Processes, ArgumentsArriveAsTheRuntimeSplitsThem) {
    EXPECT_EQ(Capture(Child() + R"( args "a b" c\"d \\x "" $(y) ;z)").output,
              R"([a b][c"d][\\x][][$(y)][;z])");
}

TEST_F(Processes, MissingProgramsFailCleanly) {
    for (const std::string line : {"no-such-program-anywhere -x", "/no/such/path", "", "   "}) {
        const Captured run = Capture(line);
        EXPECT_EQ(run.started, FALSE) << line;
        EXPECT_EQ(run.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << line;
        EXPECT_EQ(run.output, "");
    }
    // A directory or a file without execute permission is not a program.
    EXPECT_EQ(Capture("/tmp").started, FALSE);
    TempDir dir;
    WriteFileBytes(dir / "script", "#!/bin/sh\necho ran\n");
    EXPECT_EQ(Capture(dir / "script").started, FALSE);
}

TEST_F(Processes, PlatformCommandsComeFirst) {
    TempDir dir;
    WriteFileBytes(dir / "netvigil-probe", "#!/bin/sh\necho from libexec \"$@\"\n");
    ::chmod((dir / "netvigil-probe").c_str(), 0755);
    const ScopedEnv libexec("NETVIGIL_LIBEXEC", dir.Path());
    EXPECT_EQ(Capture("netvigil-probe a").output, "from libexec a\n");
    // Then PATH, as usual.
    EXPECT_EQ(Capture("test_child text hi").started, FALSE);
    const ScopedEnv path("PATH", BinDir());
    EXPECT_EQ(Capture("test_child text hi").output, "hi");
}

TEST_F(Processes, ClosingNeverWaitsForAChildThatLingers) {
    const auto start = std::chrono::steady_clock::now();
    const Captured run = Capture(Child() + " linger 6");
    EXPECT_EQ(run.output, "going quiet\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    // TearDown sees it reaped once it ends.
}

TEST_F(Processes, HandlesAreRefusedAfterClose) {
    HANDLE read = 0;
    HANDLE write = 0;
    ASSERT_EQ(CreatePipe(&read, &write, nullptr, 0), TRUE);
    EXPECT_EQ(CloseHandle(write), TRUE);
    EXPECT_EQ(CloseHandle(write), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    char c;
    DWORD n = 99;
    EXPECT_EQ(ReadFile(write, &c, 1, &n, nullptr), FALSE);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(CloseHandle(read), TRUE);
    EXPECT_EQ(CloseHandle(0), FALSE);
}

} // namespace
