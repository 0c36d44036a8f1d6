// The user's registry file on Linux: seeded when new, shared safely between
// processes, and never damaged further when it is damaged, foreign or read-only.

#include "platform/handles.h"
#include "platform/posix/user_registry.h"
#include "platform/registry.h"
#include "platform/settings_store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;
using testing_support::ReadFileBytes;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

class UserRegistry : public ::testing::Test {
protected:
    UserRegistry()
        : m_store("NETVIGIL_REGISTRY", m_dir / "registry.db"),
          m_libexec("NETVIGIL_LIBEXEC", m_dir / "libexec") {
        posix::CloseUserRegistry();
        m_handles = OpenHandleCount();
    }
    ~UserRegistry() override {
        EXPECT_EQ(OpenHandleCount(), m_handles) << "a registry handle was leaked";
        posix::CloseUserRegistry();
    }

    std::string Store() const { return m_dir / "registry.db"; }
    LONG Status() const { return UserRegistryStatus(nullptr); }

    static std::string BrowserCommand() {
        HKEY h = 0;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, "htmlfile\\shell\\opennew\\command", 0, KEY_READ, &h) !=
            ERROR_SUCCESS) {
            return "<no key>";
        }
        char data[512] = {};
        DWORD size = sizeof data - 1;
        RegQueryValueEx(h, "", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(h);
        return data;
    }

    TempDir m_dir;

private:
    ScopedEnv m_store;
    ScopedEnv m_libexec;
    std::size_t m_handles = 0;
};

TEST_F(UserRegistry, FreshStoreHoldsTheBrowserCommand) {
    EXPECT_EQ(BrowserCommand(), "\"" + (m_dir / "libexec") + "/browser\" %1");
    EXPECT_EQ(Status(), ERROR_SUCCESS);
    // A user's own choice survives the next start.
    HKEY h = 0;
    ASSERT_EQ(
        RegOpenKeyEx(HKEY_CLASSES_ROOT, "htmlfile\\shell\\opennew\\command", 0, KEY_SET_VALUE, &h),
        ERROR_SUCCESS);
    const std::string mine = "\"/opt/web/netvigil/browser\" %1";
    RegSetValueEx(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(mine.c_str()),
                  static_cast<DWORD>(mine.size() + 1));
    RegCloseKey(h);
    posix::CloseUserRegistry();
    EXPECT_EQ(BrowserCommand(), mine);
}

TEST_F(UserRegistry, SeededCommandFollowsTheLauncherThatExists) {
    // First run from one place...
    {
        const ScopedEnv first("NETVIGIL_LIBEXEC", m_dir / "old/netvigil");
        EXPECT_EQ(BrowserCommand(), "\"" + (m_dir / "old/netvigil") + "/browser\" %1");
        posix::CloseUserRegistry();
    }
    // ...then from another, whose launcher exists while the old one does not.
    const std::string dir = m_dir / "new/netvigil";
    std::filesystem::create_directories(dir);
    WriteFileBytes(dir + "/browser", "");
    const ScopedEnv second("NETVIGIL_LIBEXEC", dir);
    EXPECT_EQ(BrowserCommand(), "\"" + dir + "/browser\" %1");
}

TEST_F(UserRegistry, DefaultLocationIsMadeUnderTheConfigHome) {
    const ScopedEnv noOverride("NETVIGIL_REGISTRY", std::nullopt);
    const ScopedEnv config("XDG_CONFIG_HOME", m_dir / "config");
    EXPECT_EQ(posix::UserRegistryPath(), m_dir / "config/netvigil/registry.db");
    ASSERT_EQ(SaveSetting("Netvigil", "Settings", "Backcolor", "1"), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::exists(m_dir / "config/netvigil/registry.db"));
    const ScopedEnv relative("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_TRUE(posix::UserRegistryPath().ends_with("/.config/netvigil/registry.db"));
}

// In every case of an unusable store, settings read as defaults and the file
// keeps its exact bytes, so the user's data stays recoverable.
TEST_F(UserRegistry, UnusableStoresAreLeftUntouched) {
    WriteFileBytes(Store(), "these are a user's notes, not a database\n");
    EXPECT_EQ(Status(), ERROR_BADDB);
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Backcolor", "128"), "128");
    EXPECT_NE(SaveSetting("Netvigil", "Settings", "Backcolor", "1"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteSetting("Netvigil", "Settings", "Backcolor"), ERROR_BADDB);
    EXPECT_EQ(ReadFileBytes(Store()), "these are a user's notes, not a database\n");
    posix::CloseUserRegistry();

    std::filesystem::remove(Store());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Store().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE other(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string foreign = ReadFileBytes(Store());
    std::string problem;
    EXPECT_EQ(UserRegistryStatus(&problem), ERROR_BADDB);
    EXPECT_NE(problem.find("not a Netvigil registry"), std::string::npos) << problem;
    EXPECT_NE(SaveSetting("Netvigil", "Settings", "Backcolor", "1"), ERROR_SUCCESS);
    EXPECT_EQ(ReadFileBytes(Store()), foreign);
    posix::CloseUserRegistry();

    const ScopedEnv missing("NETVIGIL_REGISTRY", m_dir / "no/such/dir/registry.db");
    EXPECT_EQ(UserRegistryStatus(&problem), ERROR_PATH_NOT_FOUND);
    EXPECT_NE(problem.find("does not exist"), std::string::npos) << problem;
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Backcolor", "128"), "128");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "no"));
}

// A store of ours, damaged: refused whole, with what is wrong, and never
// written, so that what is left of it can still be rescued.
TEST_F(UserRegistry, DamagedStoresAreRefusedAndLeftUntouched) {
    const auto flip = [](std::string& bytes, const std::string& text) {
        const auto at = bytes.find(text);
        ASSERT_NE(at, std::string::npos) << text;
        bytes[at] ^= 0x03;
    };
    const auto page = [](const std::string& bytes, int number) {
        const auto size = static_cast<std::size_t>(static_cast<unsigned char>(bytes[16]) << 8 |
                                                   static_cast<unsigned char>(bytes[17]));
        return std::pair{size * static_cast<std::size_t>(number - 1), size};
    };
    const auto sql = [this](const char* statements) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Store().c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << statements;
        sqlite3_close(db);
    };
    struct Case {
        const char* what;
        std::function<void(std::string&)> damageBytes;
        const char* damageSql;
        const char* problem;
    };
    const Case cases[] = {
        {"a key's row no longer matching its index", [&](auto& b) { flip(b, "MARKKEY"); }, nullptr,
         "missing from index"},
        {"a value's row no longer matching its index", [&](auto& b) { flip(b, "MARKVALUE"); },
         nullptr, "index"},
        {"a page of zeros",
         [&](auto& b) {
             const auto [at, size] = page(b, 2);
             b.replace(at, size, size, '\0');
         },
         nullptr, "damaged"},
        {"a page of noise",
         [&](auto& b) {
             const auto [at, size] = page(b, 4);
             for (std::size_t i = 0; i < size; ++i) {
                 b[at + i] = static_cast<char>(i * 37 + 11);
             }
         },
         nullptr, "damaged"},
        {"cut short inside a page",
         [&](auto& b) { b.resize(page(b, 3).first + page(b, 3).second / 2); }, nullptr, "damaged"},
        {"no tables, but our id", nullptr,
         "DROP TABLE vals; DROP TABLE keys; PRAGMA application_id = 1314280007", "tables"},
        {"a table without a column", nullptr, "ALTER TABLE keys DROP COLUMN written", "tables"},
        {"an index gone", nullptr, "DROP INDEX vals_by_name", "tables"},
        {"a root key gone", nullptr, "DELETE FROM keys WHERE id = 3", "root keys"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(Store());
        ASSERT_EQ(SaveSetting("Netvigil", "Settings", "Backcolor", "255"), ERROR_SUCCESS);
        ASSERT_EQ(SaveSetting("Netvigil", "Settings", "MarkValue", "1"), ERROR_SUCCESS);
        ASSERT_EQ(SaveSetting("Netvigil", "MarkKey", "x", "1"), ERROR_SUCCESS);
        posix::CloseUserRegistry();
        if (c.damageSql != nullptr) {
            sql(c.damageSql);
        } else {
            std::string bytes = ReadFileBytes(Store());
            c.damageBytes(bytes);
            WriteFileBytes(Store(), bytes);
        }
        const std::string damaged = ReadFileBytes(Store());

        std::string problem;
        EXPECT_NE(UserRegistryStatus(&problem), ERROR_SUCCESS);
        EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_EQ(GetSetting("Netvigil", "Settings", "Backcolor", "128"), "128");
        EXPECT_NE(SaveSetting("Netvigil", "Settings", "Backcolor", "1"), ERROR_SUCCESS);
        EXPECT_NE(SaveSetting("Netvigil", "Other", "New", "1"), ERROR_SUCCESS);
        posix::CloseUserRegistry();
        EXPECT_TRUE(ReadFileBytes(Store()) == damaged) << "the damaged file was changed";
    }
}

TEST_F(UserRegistry, ReadOnlyStoreReadsButRefusesWrites) {
    ASSERT_EQ(SaveSetting("Netvigil", "Settings", "Backcolor", "255"), ERROR_SUCCESS);
    posix::CloseUserRegistry();
    ::chmod(Store().c_str(), 0444);
    const std::string before = ReadFileBytes(Store());

    std::string problem;
    EXPECT_EQ(UserRegistryStatus(&problem), ERROR_SUCCESS);
    EXPECT_NE(problem.find("read-only"), std::string::npos);
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Backcolor", "128"), "255");
    EXPECT_EQ(SaveSetting("Netvigil", "Settings", "Backcolor", "1"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(DeleteSetting("Netvigil", "Settings", "Backcolor"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Backcolor", "128"), "255");
    EXPECT_EQ(ReadFileBytes(Store()), before);
}

TEST_F(UserRegistry, TransactionsAreAllOrNothing) {
    {
        UserRegistryTransaction transaction;
        ASSERT_EQ(transaction.Status(), ERROR_SUCCESS);
        ASSERT_EQ(SaveSetting("Netvigil", "Settings", "A", "1"), ERROR_SUCCESS);
        ASSERT_EQ(SaveSetting("Netvigil", "Settings", "B", "2"), ERROR_SUCCESS);
    }
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "A", "none"), "none");
    {
        UserRegistryTransaction transaction;
        ASSERT_EQ(SaveSetting("Netvigil", "Settings", "A", "1"), ERROR_SUCCESS);
        ASSERT_EQ(transaction.Commit(), ERROR_SUCCESS);
    }
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "A", "none"), "1");
}

// Children open the store themselves: the parent has it closed when it forks.
pid_t Writer(const std::string& prefix, int count, int progressFd) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (int i = 0; i < count; ++i) {
            if (SaveSetting("Netvigil", "Load", prefix + std::to_string(i), std::to_string(i)) !=
                ERROR_SUCCESS) {
                ::_exit(1);
            }
            if (progressFd >= 0 && ::write(progressFd, &i, sizeof i) != sizeof i) {
                ::_exit(2);
            }
        }
        ::_exit(0);
    }
    return pid;
}

TEST_F(UserRegistry, TwoProcessesWritingAtOnceLoseNothing) {
    ASSERT_EQ(Status(), ERROR_SUCCESS); // made before the race, as at a first start
    posix::CloseUserRegistry();
    const pid_t a = Writer("a", 500, -1);
    const pid_t b = Writer("b", 500, -1);
    int statusA = 0;
    int statusB = 0;
    ::waitpid(a, &statusA, 0);
    ::waitpid(b, &statusB, 0);
    EXPECT_EQ(statusA, 0);
    EXPECT_EQ(statusB, 0);
    int missing = 0;
    for (int i = 0; i < 500; ++i) {
        missing += GetSetting("Netvigil", "Load", "a" + std::to_string(i), "") != std::to_string(i);
        missing += GetSetting("Netvigil", "Load", "b" + std::to_string(i), "") != std::to_string(i);
    }
    EXPECT_EQ(missing, 0);
}

TEST_F(UserRegistry, WriterKilledMidRunKeepsEveryCompletedWrite) {
    ASSERT_EQ(Status(), ERROR_SUCCESS);
    posix::CloseUserRegistry();
    int progress[2];
    ASSERT_EQ(::pipe(progress), 0);
    const pid_t pid = Writer("k", 100000, progress[1]);
    ::close(progress[1]);
    int last = -1;
    int i = 0;
    while (last < 150 && ::read(progress[0], &i, sizeof i) == sizeof i) {
        last = i;
    }
    ::kill(pid, SIGKILL);
    // Writes that completed while we were deciding count too.
    while (::read(progress[0], &i, sizeof i) == sizeof i) {
        last = i;
    }
    ::close(progress[0]);
    ::waitpid(pid, nullptr, 0);
    ASSERT_GE(last, 150);
    ASSERT_EQ(Status(), ERROR_SUCCESS);
    for (int k = 0; k <= last; ++k) {
        ASSERT_EQ(GetSetting("Netvigil", "Load", "k" + std::to_string(k), ""), std::to_string(k));
    }
}

} // namespace
