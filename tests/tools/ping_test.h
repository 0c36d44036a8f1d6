#pragma once

// The ping tests: what both systems share (ping_test.cpp), and what each
// system's own file gives them (ping_posix_test.cpp, ping_win32.cpp).

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The ways the system's ping can send echo requests, as NETVIGIL_PING_METHOD
// names them.
std::vector<std::string> PingMethods();

// Runs the build's ping, by the method if one is named; its output has no
// carriage returns, whichever system's line ends it wrote.
testing_support::ProgramResult RunPing(const std::vector<std::string>& args,
                                       const std::string& method = {});

// A case for each method, in the test's private network, where 127.0.0.1
// answers.
class Ping : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override;
};
