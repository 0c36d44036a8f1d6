#pragma once

// For the tests of pipes and processes: the child program they start, and a
// test that leaves nothing behind.

#include "platform/handles.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

// The tests' child program (support/child.cpp), which does as its first
// argument says.
inline std::string Child() {
    return BinDir() + "/test_child";
}

// A test that leaves no descriptor, handle or child process behind: as many
// are open when it ends as when it began.
class LeavesNothingBehind : public ::testing::Test {
protected:
    void SetUp() override {
        m_fds = OpenDescriptorCount();
        m_handles = platform::OpenHandleCount();
        m_children = ChildProcessCount();
    }
    void TearDown() override {
        EXPECT_EQ(OpenDescriptorCount(), m_fds);
        EXPECT_EQ(platform::OpenHandleCount(), m_handles);
        EXPECT_TRUE(WaitForChildCount(m_children)) << "a child was left behind";
    }

private:
    int m_fds = 0;
    std::size_t m_handles = 0;
    int m_children = 0;
};

} // namespace testing_support
