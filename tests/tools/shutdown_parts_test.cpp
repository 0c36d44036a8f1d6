// shutdown's parts that need no network: its command line, the "is this
// machine" check over a machine described in the test, and the net command.

#include "local.h"
#include "request.h"

#include <gtest/gtest.h>

#include <map>

using namespace netvigil_shutdown;

namespace {

std::string Refusal(const std::vector<std::string>& args) {
    const auto parsed = ParseArguments(args);
    const auto* why = std::get_if<std::string>(&parsed);
    return why != nullptr ? *why : "";
}

TEST(ShutdownArguments, WhatTheWindowsSendAndNothingElse) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"-m", "\\\\pc7", "-s", "-t", "10", "-f"}, ""},
        {{"/M", "\\\\pc7", "/R", "/T", "0", "/c", "bye"}, ""},
        {{"-m", "\\\\pc7", "-a"}, ""},
        // The address "pc7 -r -c" in "Shutdown PC": a restart, its -s a comment.
        {{"-m", "\\\\pc7", "-r", "-c", "-s", "-t", "10", "-f"}, "not the option -s"},
        {{"-m", "\\\\pc7", "-r", "-s", "-t", "10", "-f"}, "only one of -s, -r and -a"},
        {{"-m", "\\\\pc7", "-a", "-a"}, "-a is given twice"},
        {{"-m", "\\\\pc7", "-s", "-t", "10", "-f", "-f"}, "-f is given twice"},
        {{"-m", "\\\\pc7", "-t", "0", "-s", "-t", "10", "-f"}, "-t is given twice"},
        {{"-m", "\\\\pc7", "-m", "\\\\localhost", "-s"}, "-m is given twice"},
        {{"-m", "\\\\pc7", "-s", "-c", "a", "/C", "b"}, "-c is given twice"},
        {{"-m", "\\\\pc7", "-s", "-x"}, "\"-x\" is not an option it knows"},
        {{"-m", "\\\\pc7", "-s", "--force"}, "\"--force\" is not an option it knows"},
        {{"-m", "\\\\pc7;", "reboot", "-s"}, "\"reboot\" is not an option"},
        {{"-m", "pc7", "-s"}, "-m takes one \\\\HOST"},
        {{"-m", "\\\\pc7", "-s", "-t", "-5"}, "-t takes a number"},
        {{"-m", "\\\\pc7", "-s", "-c", std::string(513, 'c')}, "at most 512"},
        {{"-m", "\\\\pc7"}, "say what to do"},
        {{"-s", "-t", "0"}, "this machine is never shut down from here"},
        {{"-m", "\\\\", "-s"}, "is not a host name"},
        {{"-m", "\\\\-Uadmin", "-s"}, "is not a host name"},
        {{"-m", "\\\\$(reboot)", "-s"}, "is not a host name"},
    };
    for (const auto& [args, why] : cases) {
        EXPECT_NE(Refusal(args).find(why), std::string::npos)
            << testing::PrintToString(args) << ": " << Refusal(args);
        EXPECT_EQ(Refusal(args).empty(), *why == '\0') << testing::PrintToString(args);
    }
}

TEST(ShutdownArguments, NetCommands) {
    const auto command = [](const std::vector<std::string>& args) {
        return NetCommand(std::get<Request>(ParseArguments(args)));
    };
    using Words = std::vector<std::string>;
    EXPECT_EQ(command({"-m", "\\\\192.168.1.20", "-s", "-t", "10", "-f"}),
              (Words{"net", "rpc", "shutdown", "-I", "192.168.1.20", "-t", "10", "-f"}));
    EXPECT_EQ(command({"-m", "\\\\PC7", "-r", "-t", "0", "-c", "bye"}),
              (Words{"net", "rpc", "shutdown", "-S", "PC7", "-t", "1", "-r", "-C", "bye"}));
    EXPECT_EQ(command({"-m", "\\\\fe80::1", "-a", "-t", "5"}),
              (Words{"net", "rpc", "abortshutdown", "-I", "fe80::1"}));
}

TEST(ShutdownTarget, ThisMachineByAnyNameOrAddress) {
    const std::map<std::string, std::vector<std::string>> names = {
        {"alias", {"127.0.1.1"}},
        {"2130706433", {"127.0.0.1"}},
        {"self", {"192.168.5.20", "192.168.5.7"}},
        {"mapped", {"::ffff:10.1.1.1"}},
        {"printer", {"192.168.5.20"}},
    };
    MachineFacts facts{"box", {"192.168.5.7", "fe80::7", "2001:db8::7"}, nullptr};
    facts.resolve = [&names](const std::string& name) {
        EXPECT_NE(name, "10.9.9.9") << "a literal is never resolved";
        const auto it = names.find(name);
        return it == names.end() ? std::vector<std::string>{} : it->second;
    };
    const std::pair<const char*, bool> cases[] = {
        {"localhost", true},   {"LOCALHOST.localdomain", true},
        {"box", true},         {"BOX.lan", true},
        {"boxer", false},      {"box7", false},
        {"127.0.0.1", true},   {"127.1.2.3", true},
        {"0.0.0.0", true},     {"::1", true},
        {"::", true},          {"::ffff:10.0.0.1", true},
        {"192.168.5.7", true}, {"fe80::7", true},
        {"2001:DB8::7", true}, {"192.168.5.20", false},
        {"10.9.9.9", false},   {"alias", true},
        {"2130706433", true},  {"self", true},
        {"mapped", true},      {"printer", false},
        {"nowhere", false},
    };
    for (const auto& [host, local] : cases) {
        EXPECT_EQ(IsThisMachine(host, facts), local) << host;
    }
    const MachineFacts fqdn{"box.example.org", {}, nullptr};
    EXPECT_TRUE(IsThisMachine("Box.Example.Org", fqdn));
    EXPECT_FALSE(IsThisMachine("box.other.org", fqdn));
}

} // namespace
