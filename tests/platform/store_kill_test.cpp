// A store killed in the middle of its writes, 200 times over: a child process
// makes random writes to a store file, reporting each one done, and is killed
// (SIGKILL) at a random moment. After each kill the file passes SQLite's
// integrity_check, the store opens, and it holds exactly the writes that
// completed, each whole: those reported, and perhaps the one under way when
// the kill came, but no part of one.

#include "platform/sqlite/registry_store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <random>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;
using platform::sqlite::RegistryStore;

namespace {

constexpr int kRounds = 200;
constexpr int kWritesPerRound = 40;

// One write: a transaction of one or more changes.
struct Change {
    enum Kind { Set, Create, DeleteValue, DeleteKey } kind = Set;
    std::string path;
    std::string name;
    DWORD type = REG_BINARY;
    std::string data;
};
using Write = std::vector<Change>;

Write RandomWrite(std::mt19937_64& rng) {
    static const char* const kPaths[] = {"Kill\\A", "Kill\\B", "Kill\\A\\C", "Kill\\B\\D",
                                         "Kill\\A\\C\\E"};
    static const char* const kNames[] = {"", "v1", "v2", "big"};
    const auto draw = [&rng](std::uint64_t n) { return rng() % n; };
    Write write(draw(6) == 0 ? 2 + draw(4) : 1);
    for (Change& change : write) {
        const auto roll = draw(10);
        change.kind = roll < 6   ? Change::Set
                      : roll < 7 ? Change::Create
                      : roll < 9 ? Change::DeleteValue
                                 : Change::DeleteKey;
        change.path = kPaths[draw(std::size(kPaths))];
        change.name = kNames[draw(std::size(kNames))];
        change.type = static_cast<DWORD>(draw(12));
        // Mostly small, now and then many pages long.
        const auto size = draw(10) < 7   ? draw(64)
                          : draw(10) < 7 ? 1000 + draw(8000)
                                         : 50000 + draw(250000);
        change.data.resize(size);
        for (char& c : change.data) {
            c = static_cast<char>(draw(256));
        }
    }
    return write;
}

void Apply(RegistryStore& store, const Write& write) {
    if (store.Begin() != ERROR_SUCCESS) {
        return;
    }
    for (const Change& change : write) {
        HKEY key = 0;
        if (change.kind == Change::DeleteKey) {
            store.DeleteKey(HKEY_CURRENT_USER, change.path.c_str());
        } else if (store.CreateKeyEx(HKEY_CURRENT_USER, change.path.c_str(), KEY_ALL_ACCESS, &key,
                                     nullptr) == ERROR_SUCCESS) {
            if (change.kind == Change::Set) {
                store.SetValueEx(key, change.name.c_str(), change.type,
                                 reinterpret_cast<const BYTE*>(change.data.data()),
                                 static_cast<DWORD>(change.data.size()));
            } else if (change.kind == Change::DeleteValue) {
                store.DeleteValue(key, change.name.c_str());
            }
            store.CloseKey(key);
        }
    }
    store.Commit();
}

// Everything below the root, keys in order and values with their bytes.
void Dump(RegistryStore& store, HKEY key, const std::string& path, std::string& out) {
    out += path + "\n";
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameRoom = sizeof name;
        DWORD type = 0;
        DWORD size = 0;
        if (store.EnumValue(key, i, name, &nameRoom, &type, nullptr, &size) != ERROR_SUCCESS) {
            break;
        }
        std::string data(size, '\0');
        store.QueryValueEx(key, name, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
        out += "  " + std::string(name) + " " + std::to_string(type) + " " +
               std::to_string(std::hash<std::string>{}(data)) + "\n";
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        if (store.EnumKey(key, i, name, sizeof name) != ERROR_SUCCESS) {
            break;
        }
        HKEY child = 0;
        if (store.OpenKeyEx(key, name, KEY_READ, &child) == ERROR_SUCCESS) {
            Dump(store, child, path + "\\" + name, out);
            store.CloseKey(child);
        }
    }
}

std::string Dump(RegistryStore& store) {
    std::string out;
    Dump(store, HKEY_CURRENT_USER, "HKCU", out);
    return out;
}

std::string IntegrityCheck(const std::string& path) {
    sqlite3* db = nullptr;
    std::string verdict = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* check = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr) == SQLITE_OK &&
            sqlite3_step(check) == SQLITE_ROW) {
            verdict = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
        } else {
            verdict = sqlite3_errmsg(db);
        }
        sqlite3_finalize(check);
    }
    sqlite3_close(db);
    return verdict;
}

// Starts the child writing; it reports the number of each write done.
pid_t Writer(const std::string& path, const std::vector<Write>& writes, int report) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        RegistryStore store(path);
        for (int i = 0; i < static_cast<int>(writes.size()); ++i) {
            Apply(store, writes[static_cast<std::size_t>(i)]);
            if (::write(report, &i, sizeof i) != sizeof i) {
                ::_exit(2);
            }
        }
        ::_exit(0);
    }
    return pid;
}

TEST(StoreKilled, HoldsExactlyTheWritesThatCompleted) {
    // A kill ends a process, not the system: what the process wrote is in
    // the file whatever the medium, so one in memory serves.
    const auto dir = testing_support::TempDirInMemory();
    const std::string path = *dir / "registry.db";
    { RegistryStore made(path); }
    RegistryStore model(":memory:");
    std::mt19937_64 rng(20);
    for (int round = 0; round < kRounds; ++round) {
        std::vector<Write> writes;
        for (int i = 0; i < kWritesPerRound; ++i) {
            writes.push_back(RandomWrite(rng));
        }
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t pid = Writer(path, writes, report[1]);
        ::close(report[1]);
        // Killed after a random number of writes, a random moment into the next.
        const auto after = static_cast<int>(rng() % kWritesPerRound);
        int done = 0;
        int index = 0;
        while (done < after && ::read(report[0], &index, sizeof index) == sizeof index) {
            ++done;
        }
        ::usleep(static_cast<useconds_t>(rng() % 3000));
        ::kill(pid, SIGKILL);
        while (::read(report[0], &index, sizeof index) == sizeof index) {
            ++done;
        }
        ::close(report[0]);
        ::waitpid(pid, nullptr, 0);

        ASSERT_EQ(IntegrityCheck(path), "ok") << "round " << round;
        RegistryStore store(path);
        ASSERT_EQ(store.Status(), ERROR_SUCCESS) << "round " << round << ": " << store.Problem();
        for (int i = 0; i < done; ++i) {
            Apply(model, writes[static_cast<std::size_t>(i)]);
        }
        const std::string found = Dump(store);
        if (found == Dump(model)) {
            continue;
        }
        // The write under way when the kill came may have completed too.
        ASSERT_LT(done, kWritesPerRound) << "round " << round;
        Apply(model, writes[static_cast<std::size_t>(done)]);
        ASSERT_EQ(found, Dump(model)) << "round " << round << ", after " << done << " writes";
    }
}

} // namespace
