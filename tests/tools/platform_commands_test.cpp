// explorer, shutdown and the browser launcher in dry-run mode: what each
// would run, and what each refuses.

#include "runner/clsRunCommand.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::string Tool(const std::string& name) {
    return BinDir() + "/../libexec/netvigil/" + name;
}

ProgramResult DryRun(const std::string& tool, const std::vector<std::string>& args) {
    return RunProgram(Tool(tool), args, {{"NETVIGIL_DRY_RUN", "1"}});
}

void ExpectRuns(const std::string& tool, const std::vector<std::string>& args,
                const std::string& command) {
    const ProgramResult r = DryRun(tool, args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, command + "\n") << tool;
}

void ExpectRefused(const std::string& tool, const std::vector<std::string>& args) {
    const ProgramResult r = DryRun(tool, args);
    EXPECT_NE(r.exitCode, 0) << tool << " ran: " << r.out;
    EXPECT_EQ(r.out, "") << tool;
    EXPECT_FALSE(r.err.empty());
}

TEST(PlatformCommands, ShutdownSpeaksSambasNet) {
    ExpectRuns("shutdown", {"-m", "\\\\192.168.1.20", "-s", "-t", "10", "-f"},
               "net rpc shutdown -I 192.168.1.20 -t 10 -f");
    ExpectRuns("shutdown", {"-m", "\\\\192.168.1.20", "-r", "-t", "10", "-f"},
               "net rpc shutdown -I 192.168.1.20 -t 10 -r -f");
    ExpectRuns("shutdown", {"-m", "\\\\192.168.1.20", "-a"},
               "net rpc abortshutdown -I 192.168.1.20");
    ExpectRuns("shutdown", {"/m", "\\\\PC7", "/s", "/t", "0", "/c", "bye"},
               "net rpc shutdown -S PC7 -t 1 -C bye");
    ExpectRuns("shutdown", {"-m", "\\\\fe80::1", "-s"}, "net rpc shutdown -I fe80::1 -t 30");
}

TEST(PlatformCommands, ShutdownNeverTouchesThisMachine) {
    ExpectRefused("shutdown", {"-s", "-t", "0"});
    ExpectRefused("shutdown", {"-r"});
    ExpectRefused("shutdown", {"-m", "\\\\", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\localhost", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\LOCALHOST.localdomain", "-r"});
    ExpectRefused("shutdown", {"-m", "\\\\127.0.0.1", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\127.1.2.3", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\::1", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\0.0.0.0", "-s"});
    ExpectRefused("shutdown", {"-m", "pc7", "-s"});
    // Crafted addresses: extra switches, a second target, shell syntax.
    ExpectRefused("shutdown", {"-m", "\\\\pc7", "-r", "-s", "-t", "10", "-f"});
    ExpectRefused("shutdown", {"-m", "\\\\pc7", "-m", "\\\\localhost", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\pc7;", "reboot", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\$(reboot)", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\-Uadmin", "-s"});
    ExpectRefused("shutdown", {"-m", "\\\\pc7", "-s", "-t", "-5"});
    ExpectRefused("shutdown", {"-m", "\\\\pc7", "-x"});
}

TEST(PlatformCommands, ExplorerAndBrowser) {
    const ProgramResult explorer = DryRun("explorer", {"\\\\fileserver"});
    EXPECT_EQ(explorer.exitCode, 0);
    EXPECT_TRUE(explorer.out.ends_with(" smb://fileserver/\n")) << explorer.out;
    EXPECT_TRUE(
        DryRun("explorer", {"\\\\fs\\public\\docs"}).out.ends_with(" smb://fs/public/docs/\n"));
    ExpectRefused("explorer", {});
    ExpectRefused("explorer", {"fileserver"});
    ExpectRefused("explorer", {"\\\\"});
    ExpectRefused("explorer", {"\\\\fs", "extra"});
    ExpectRefused("explorer", {"\\\\--help"});
    ExpectRefused("explorer", {"\\\\user@host"});
    ExpectRefused("explorer", {"\\\\host:445"});
    ExpectRefused("explorer", {"\\\\fs\\..\\x"});
    // An IPv6 address in brackets; what a URI cannot hold, percent-encoded.
    const std::pair<const char*, const char*> uris[] = {
        {"\\\\::1", "smb://[::1]/"},
        {"\\\\fe80::1%eth0\\C$", "smb://[fe80::1%25eth0]/C$/"},
        {"\\\\fs\\My Documents\\50%\\a#b?c", "smb://fs/My%20Documents/50%25/a%23b%3Fc/"},
        {"\\\\fs\\Grüße\\", "smb://fs/Gr%C3%BC%C3%9Fe/"},
    };
    for (const auto& [unc, uri] : uris) {
        const ProgramResult r = DryRun("explorer", {unc});
        EXPECT_TRUE(r.out.ends_with(std::string(" ") + uri + "\n"))
            << unc << ": " << r.out << r.err;
    }

    ExpectRuns("browser", {"www.example.com"}, "xdg-open http://www.example.com");
    ExpectRuns("browser", {"WWW.Example.com/a?b=c"}, "xdg-open http://WWW.Example.com/a?b=c");
    ExpectRuns("browser", {"https://example.com"}, "xdg-open https://example.com");
    ExpectRefused("browser", {});
    ExpectRefused("browser", {"--help"});
    ExpectRefused("browser", {"www.x.com;", "reboot"});
}

// The design's command lines, through the runner, reach the commands as
// plain words: nothing a crafted address holds is run.
TEST(PlatformCommands, DesignCommandLinesThroughTheRunner) {
    const ScopedEnv dry("NETVIGIL_DRY_RUN", "1");
    const ScopedEnv libexec("NETVIGIL_LIBEXEC", BinDir() + "/../libexec/netvigil");
    clsRunCommand run;
    EXPECT_EQ(run.GetRtnText("shutdown -m \\\\192.168.1.20 -s -t 10 -f", "", 0, 0),
              "net rpc shutdown -I 192.168.1.20 -t 10 -f\n");
    EXPECT_EQ(run.GetRtnText("shutdown -m \\\\10.0.0.5 -r -s -t 10 -f", "", 0, 0).find("net rpc"),
              std::string::npos);
    EXPECT_EQ(
        run.GetRtnText("shutdown -m \\\\10.0.0.5; reboot -s -t 10 -f", "", 0, 0).find("net rpc"),
        std::string::npos);
    // "Shutdown PC" for the address "10.0.0.5 -r -c" would otherwise restart it.
    EXPECT_EQ(
        run.GetRtnText("shutdown -m \\\\10.0.0.5 -r -c -s -t 10 -f", "", 0, 0).find("net rpc"),
        std::string::npos);
    EXPECT_EQ(run.GetRtnText("shutdown -m \\\\10.0.0.5 -f -s -t 10 -f", "", 0, 0).find("net rpc"),
              std::string::npos);
    EXPECT_TRUE(
        run.GetRtnText("explorer \\\\fileserver", "", 0, 0).ends_with(" smb://fileserver/\n"));
}

} // namespace
