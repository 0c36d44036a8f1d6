// clsRunCommand runs the sweep's ping: it must return the child's whole
// output, swallow every failure, and leave nothing behind, run after run.

#include "platform/message_box.h"
#include "platform/process.h"
#include "processes.h"
#include "runner/clsRunCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

using namespace testing_support;

namespace {

class RunCommand : public LeavesNothingBehind {
protected:
    static void SetUpTestSuite() {
        // Whatever a command does with the network stays on this machine.
        s_network = EnterPrivateNetwork(&s_why);
    }
    std::string Run(const std::string& line, std::int16_t show = 0) {
        return m_run.GetRtnText(line, "Reply", 0, show);
    }

    static bool s_network;
    static std::string s_why;
    clsRunCommand m_run;
};

bool RunCommand::s_network = false;
std::string RunCommand::s_why;

TEST_F(RunCommand, ReturnsTheWholeOutputOfBothStreams) {
    EXPECT_EQ(Run(Child() + " interleave"),
              "out0\nerr0\nout1\nerr1\nout2\nerr2\nout3\nerr3\nout4\nerr4\n");
    EXPECT_EQ(Run(Child() + " text"), "");
    for (const int size : {255, 256, 257, 512, 1000, 70000}) {
        std::string expected(static_cast<std::size_t>(size), '\0');
        for (int i = 0; i < size; ++i) {
            expected[static_cast<std::size_t>(i)] = static_cast<char>('!' + i % 251 % 90);
        }
        EXPECT_EQ(Run(Child() + " bytes " + std::to_string(size)), expected) << size;
    }
}

// A window system keeps its messages flowing while the runner waits: only
// the reads that would block wait, and the text is the same.
TEST_F(RunCommand, AWaitingReadGivesTheSameText) {
    TempDir dir;
    // The child answers only once the runner waits through the hook.
    const std::string waiting = dir / "waiting";
    int waits = 0;
    platform::SetPipeWait([&](const std::function<void()>& blocking) {
        ++waits;
        WriteFileBytes(waiting, "");
        std::thread(blocking).join();
    });
    EXPECT_EQ(Run(Child() + " until \"" + waiting + "\" Reply"), "Reply");
    EXPECT_GE(waits, 1);
    EXPECT_EQ(Run(Child() + " bytes 70000").size(), 70000u);
    EXPECT_EQ(Run(Child() + " interleave"),
              "out0\nerr0\nout1\nerr1\nout2\nerr2\nout3\nerr3\nout4\nerr4\n");
    // Another thread's reads block: the wait belongs to the thread that set it.
    waits = 0;
    const std::string started = dir / "started";
    const int children = ChildProcessCount();
    std::string elsewhere;
    std::thread reader([&] { elsewhere = Run(Child() + " until \"" + started + "\" late"); });
    EXPECT_TRUE(WaitFor([&] { return ChildProcessCount() > children; }));
    WriteFileBytes(started, "");
    reader.join();
    EXPECT_EQ(elsewhere, "late");
    EXPECT_EQ(waits, 0);
    platform::SetPipeWait(nullptr);
}

TEST_F(RunCommand, MultibyteTextSurvivesTheChunkSeams) {
    // "é" is two bytes; 255 blanks put the first of them last in a 256-byte read.
    const std::string text = std::string(255, ' ') + "é and 🌍 at the seams";
    EXPECT_EQ(Run(Child() + " text \"" + text + "\""), text);
}

#ifdef _WIN32
// A console program started hidden from one without a console gets a
// terminal window of its own where Windows Terminal is the default terminal,
// visible or minimized, unless it is started with no console at all.
TEST_F(RunCommand, AHiddenChildHasNoConsoleWindow) {
    EXPECT_EQ(Run(Child() + " console"), "no console window");
}
#endif

TEST_F(RunCommand, SearchTextAndCaseFlagChangeNothing) {
    const std::string line = Child() + " text Reply";
    EXPECT_EQ(m_run.GetRtnText(line, "Reply", 0, 0), "Reply");
    EXPECT_EQ(m_run.GetRtnText(line, "nothing", 1, 0), "Reply");
    EXPECT_EQ(m_run.GetRtnText(line, "", -1, 1), "Reply");
}

TEST_F(RunCommand, OnlyMinusOneShowsTheText) {
    std::vector<std::string> shown;
    platform::SetMessageBoxHandler(
        [&](platform::HWND, const std::string& text, const std::string&, platform::UINT) {
            shown.push_back(text);
            return platform::IDOK;
        });
    Run(Child() + " text zero", 0);
    Run(Child() + " text one", 1);
    EXPECT_EQ(Run(Child() + " text minus", -1), "minus");
    Run("no-such-program", -1);
    platform::SetMessageBoxHandler(nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"minus", ""}));
}

// Windows looks for a program named without a path in the current directory
// before its own: a shutdown.exe wherever Netvigil was started from would run
// in place of the system's. Only the program's and the system's directories
// count.
TEST_F(RunCommand, TheWorkingDirectoryIsNeverSearched) {
    namespace fs = std::filesystem;
    const TempDir dir;
    const fs::path child = fs::exists(Child() + ".exe") ? Child() + ".exe" : Child();
    fs::copy_file(child, fs::path(dir.Path()) / ("nvcwdprobe" + child.extension().string()));
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    const std::string output = Run("nvcwdprobe text ran");
    fs::current_path(before);
    EXPECT_EQ(output, "");
    EXPECT_EQ(Run(dir / "nvcwdprobe text ran"), "ran");
}

TEST_F(RunCommand, FailuresGiveEmptyText) {
    EXPECT_EQ(Run("no-such-program-anywhere 127.0.0.1"), "");
    EXPECT_EQ(Run(""), "");
    EXPECT_EQ(Run("/etc/passwd"), "");
}

TEST_F(RunCommand, AddressesNeverReachAShell) {
    if (!s_network) {
        GTEST_SKIP() << s_why;
    }
    TempDir dir;
    const std::string file = dir / "pwned";
    for (const std::string& address :
         {"127.0.0.1; touch " + file, "127.0.0.1 && touch " + file, "$(touch " + file + ")",
          "`touch " + file + "`", "127.0.0.1 | touch " + file,
          "\"127.0.0.1; touch " + file + "\""}) {
        const std::string output = Run("ping -n 1 -w 8 " + address);
        EXPECT_EQ(output.find("Reply"), std::string::npos) << address << "\n" << output;
        EXPECT_FALSE(std::filesystem::exists(file)) << address;
    }
}

TEST_F(RunCommand, ThousandRunsLeaveNothingBehind) {
    if (!s_network) {
        GTEST_SKIP() << s_why;
    }
    // A generous timeout: what counts here is what the runs leave, and a
    // busy machine may keep a loopback echo past the sweep's 8 ms (under
    // Wine, beside a test suite, once past a second).
    int online = 0;
    for (int i = 0; i < 1000; ++i) {
        online += Run("ping -n 1 -w 10000 127.0.0.1").find("Reply") != std::string::npos;
    }
    EXPECT_EQ(online, 1000);
    // TearDown checks descriptors, handles and children.
}

} // namespace
