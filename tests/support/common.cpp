// The tests' helpers that are the same on every system.

#include "test_support.h"

#include <fstream>
#include <sstream>
#include <thread>

namespace testing_support {

namespace {

std::function<void()>& WhileWaiting() {
    static std::function<void()> work;
    return work;
}

} // namespace

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void SetWhileWaiting(std::function<void()> work) {
    WhileWaiting() = std::move(work);
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        if (WhileWaiting()) {
            WhileWaiting()();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool WaitForChildCount(int n) {
    return WaitFor([n] { return ChildProcessCount() <= n; });
}

} // namespace testing_support
