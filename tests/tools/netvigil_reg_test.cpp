// netvigil-reg as users and scripts run it: a separate process over a store file.

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>

using testing_support::ProgramResult;
using testing_support::ReadFileBytes;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

class NetvigilReg : public ::testing::Test {
protected:
    ProgramResult Reg(const std::vector<std::string>& args, const std::string& input = {},
                      const std::string& store = {}) {
        return RunProgram("netvigil-reg", args,
                          {{"NETVIGIL_REGISTRY", store.empty() ? Store() : store},
                           {"NETVIGIL_LIBEXEC", m_dir / "libexec"}},
                          input);
    }
    void Ok(const std::vector<std::string>& args) {
        const ProgramResult r = Reg(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    std::string Store() const { return m_dir / "registry.db"; }

    TempDir m_dir;
};

TEST_F(NetvigilReg, AddQueryAndDelete) {
    Ok({"add", "HKCU\\Software\\Netvigil\\Settings", "/v", "Backcolor", "/d", "128"});
    Ok({"add", "HKCU\\Software\\Netvigil\\Settings", "/v", "Size", "/t", "REG_DWORD", "/d",
        "0x10"});
    Ok({"add", "HKCU\\Software\\Netvigil\\Settings", "/ve", "/t", "reg_binary", "/d", "00ff"});
    Ok({"add", "HKCU\\Software\\Netvigil\\Remote Hosts"});

    ProgramResult r = Reg({"query", "hkcu\\software\\netvigil\\settings"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "\nHKEY_CURRENT_USER\\software\\netvigil\\settings\n"
                     "    Backcolor    REG_SZ    128\n"
                     "    Size    REG_DWORD    0x10\n"
                     "    (Default)    REG_BINARY    00FF\n\n\n");
    r = Reg({"query", "HKCU\\Software\\Netvigil", "/s"});
    EXPECT_NE(r.out.find("HKEY_CURRENT_USER\\Software\\Netvigil\\Remote Hosts\n"),
              std::string::npos);
    r = Reg({"query", "HKCU\\Software\\Netvigil\\Settings", "/v", "BACKCOLOR"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Backcolor    REG_SZ    128"), std::string::npos);
    EXPECT_EQ(r.out.find("Size"), std::string::npos);

    // Overwriting and deleting ask first; without an answer nothing changes.
    r = Reg({"add", "HKCU\\Software\\Netvigil\\Settings", "/v", "Backcolor", "/d", "255"});
    EXPECT_EQ(r.exitCode, 1);
    r = Reg({"add", "HKCU\\Software\\Netvigil\\Settings", "/v", "Backcolor", "/d", "255"}, "yes\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Reg({"delete", "HKCU\\Software\\Netvigil"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(
        Reg({"query", "HKCU\\Software\\Netvigil\\Settings", "/v", "Backcolor"}).out.find("255"),
        std::string::npos);
    Ok({"delete", "HKCU\\Software\\Netvigil\\Settings", "/v", "Size", "/f"});
    Ok({"delete", "HKCU\\Software\\Netvigil", "/f"});
    r = Reg({"query", "HKCU\\Software\\Netvigil"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("unable to find"), std::string::npos);
}

TEST_F(NetvigilReg, BadArgumentsAreRefusedClearly) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    std::string deep = "HKCU";
    for (int level = 0; level < 513; ++level) {
        deep += "\\k";
    }
    const Case cases[] = {
        {{"add", deep}, "Invalid key name: the key is 513 levels deep"},
        {{"add", "HKCU\\x", "/v", std::string(16384, 'v')}, "longer than 16,383 characters"},
        {{"query", "HKEY_NOWHERE\\x"}, "Invalid key name"},
        {{"add", "HKCU\\x", "/v", "n", "/t", "REG_WHATEVER"}, "Invalid type"},
        {{"add", "HKCU\\x", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"}, "REG_DWORD"},
        {{"add", "HKCU\\x", "/v", "n", "/t", "REG_BINARY", "/d", "abc"}, "REG_BINARY"},
        {{"add", "HKCU\\x", "/v"}, "needs a value"},
        {{"query", "HKCU\\x", "/q"}, "not an option"},
        {{"frobnicate"}, "unknown command"},
        {{"query", "\\\\pc7\\HKLM\\Software"}, "network path"},
        {{"import", "no-such-file.reg"}, "Cannot open"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = Reg(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[0];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(Reg({}).exitCode, 1);
}

TEST_F(NetvigilReg, ExportImportRoundTripsByteForByte) {
    Ok({"add", "HKCU\\Software\\Netvigil\\Remote Hosts", "/v", "Host 1", "/d", "Grüße 🌍"});
    Ok({"add", "HKCU\\Software\\Netvigil\\Remote Hosts", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d",
        "%HOME%\\x"});
    Ok({"add", "HKCU\\Software\\Netvigil\\Remote Hosts", "/v", "List", "/t", "REG_MULTI_SZ", "/d",
        "a\\0b"});
    Ok({"add", "HKCU\\Software\\Netvigil\\Settings", "/v", "Blob", "/t", "REG_BINARY", "/d",
        std::string(300, 'f')});
    const std::string first = m_dir / "first.reg";
    Ok({"export", "HKCU\\Software", first});

    const std::string other = m_dir / "other.db";
    ProgramResult r = Reg({"import", first}, {}, other);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string second = m_dir / "second.reg";
    r = Reg({"export", "HKCU\\Software", second}, {}, other);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(second), ReadFileBytes(first));
    EXPECT_TRUE(ReadFileBytes(first).starts_with("\xFF\xFE"
                                                 "W\0i\0n\0"));

    // Export asks before replacing a file.
    EXPECT_EQ(Reg({"export", "HKCU\\Software", second}).exitCode, 1);
    Ok({"export", "HKCU\\Software", second, "/y"});
}

// An export of a whole root begins with the root's own block, values at the
// root included; it used to be refused on import as a write to a root.
TEST_F(NetvigilReg, AWholeRootExportsAndImportsAgain) {
    Ok({"add", "HKCU\\Software\\Netvigil\\Settings", "/v", "Backcolor", "/d", "128"});
    Ok({"add", "HKCU", "/v", "AtTheRoot", "/d", "x"});
    const std::string first = m_dir / "first.reg";
    Ok({"export", "HKCU", first});
    const std::string other = m_dir / "other.db";
    ProgramResult r = Reg({"import", first}, {}, other);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string second = m_dir / "second.reg";
    ASSERT_EQ(Reg({"export", "HKCU", second}, {}, other).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(second), ReadFileBytes(first));
    EXPECT_NE(Reg({"query", "HKCU", "/v", "AtTheRoot"}, {}, other).out.find("REG_SZ    x"),
              std::string::npos);
}

// The same file comes back unchanged from netvigil-reg.exe on Windows.
TEST_F(NetvigilReg, TheFileSharedWithWindowsComesBackByteForByte) {
    const std::string shared = NETVIGIL_ROUND_TRIP_FILE;
    Ok({"import", shared});
    const std::string exported = m_dir / "exported.reg";
    Ok({"export", "HKCU\\Software\\Netvigil Round Trip", exported});
    EXPECT_EQ(ReadFileBytes(exported), ReadFileBytes(shared));
}

TEST_F(NetvigilReg, TextThatIsNotUtf8SurvivesExportAndImport) {
    const std::string odd("\xFF\xFE\xC0\x80\xED\xA0\x80", 7);
    Ok({"add", "HKCU\\Software\\Odd", "/v", "Text", "/d", odd});
    Ok({"add", "HKCU\\Software\\Odd", "/v", odd, "/t", "REG_EXPAND_SZ", "/d", "%A%" + odd});
    const std::string file = m_dir / "odd.reg";
    Ok({"export", "HKCU\\Software\\Odd", file});
    const std::string other = m_dir / "other.db";
    ASSERT_EQ(Reg({"import", file}, {}, other).exitCode, 0);
    const ProgramResult mine = Reg({"query", "HKCU\\Software\\Odd"});
    const ProgramResult theirs = Reg({"query", "HKCU\\Software\\Odd"}, {}, other);
    EXPECT_NE(mine.out.find("Text    REG_SZ    " + odd + "\n"), std::string::npos) << mine.out;
    EXPECT_EQ(theirs.out, mine.out);
}

// Export writes through a temporary file no one can plant a link at ahead.
TEST_F(NetvigilReg, ExportFollowsNoPlantedLink) {
    Ok({"add", "HKCU\\Software\\Netvigil\\Settings", "/v", "Backcolor", "/d", "128"});
    const std::string dir = m_dir / "out";
    std::filesystem::create_directory(dir);
    const std::string victim = m_dir / "victim";
    WriteFileBytes(victim, "precious");
    const std::string file = dir + "/backup.reg";
    std::filesystem::create_symlink(victim, file + ".tmp-netvigil-reg");
    Ok({"export", "HKCU\\Software", file});
    EXPECT_EQ(ReadFileBytes(victim), "precious");
    EXPECT_TRUE(ReadFileBytes(file).starts_with("\xFF\xFE")) << "no file was exported";
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        left.push_back(entry.path().filename());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"backup.reg", "backup.reg.tmp-netvigil-reg"}));
}

TEST_F(NetvigilReg, AFailedImportWritesNothing) {
    const std::string file = m_dir / "bad.reg";
    WriteFileBytes(file, "REGEDIT4\n\n[HKCU\\Software\\Good]\n\"a\"=\"1\"\n\"b\"=hex:zz\n");
    ProgramResult r = Reg({"import", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 5"), std::string::npos) << r.err;
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\Good"}).exitCode, 1);

    // A line that parses but cannot be carried out fails the same way.
    WriteFileBytes(file, "REGEDIT4\n\n[HKCU\\Software\\Good]\n\"a\"=\"1\"\n\n[-HKEY_USERS]\n");
    r = Reg({"import", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 6: a root key cannot be deleted. Nothing was imported.\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\Good"}).exitCode, 1);
}

// A name cut at a NUL would name another key: a deletion of Netvigil's key
// with a NUL and anything after it once took its whole tree, endlessly.
TEST_F(NetvigilReg, NamesWithANulChangeNothing) {
    Ok({"add", "HKCU\\Software\\Netvigil\\Remote Hosts", "/v", "IP Address 1", "/d", "10.0.0.1"});
    Ok({"add", "HKCU\\Software\\Netvigil\\Settings", "/v", "Backcolor", "/d", "128"});
    const std::string before = ReadFileBytes(Store());
    const std::string nul(1, '\0');
    const std::string file = m_dir / "hostile.reg";
    for (const std::string& line :
         {"[-HKEY_CURRENT_USER\\Software\\Netvigil\\Remote Hosts" + nul + " (other)]",
          "[-HKEY_CURRENT_USER\\Software\\Netvigil" + nul + "zzz]",
          "[HKEY_CURRENT_USER\\Software" + nul + "\\Evil]\n\"x\"=\"1\"",
          "[HKEY_CURRENT_USER\\Software\\Netvigil\\Remote Hosts]\n\"IP Address 1" + nul +
              "-x\"=\"evil\""}) {
        WriteFileBytes(file, "REGEDIT4\n\n" + line + "\n");
        const ProgramResult r = Reg({"import", file});
        EXPECT_EQ(r.exitCode, 1) << line;
        EXPECT_NE(r.err.find("NUL character. Nothing was imported."), std::string::npos) << r.err;
        EXPECT_EQ(ReadFileBytes(Store()), before) << line;
    }

    // A store changed behind our back never hands such a name out.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Store().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO keys(parent, name, fold) SELECT id, x'53657474696e677300',"
                           " x'53455454494e475300' FROM keys WHERE fold = x'4E4554564947494C'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const ProgramResult r = Reg({"export", "HKCU\\Software", m_dir / "out.reg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
}

TEST_F(NetvigilReg, UnusableStoresAreReportedAndLeftAlone) {
    WriteFileBytes(Store(), "not a database at all");
    ProgramResult r = Reg({"query", "HKCU\\Software"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(Store()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not a registry store"), std::string::npos) << r.err;
    EXPECT_EQ(Reg({"add", "HKCU\\Software\\x", "/v", "n", "/d", "1"}).exitCode, 1);
    EXPECT_EQ(ReadFileBytes(Store()), "not a database at all");

    // Netvigil's id on a database without its tables.
    const std::string empty = m_dir / "empty.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(empty.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA application_id = 1314280007", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    r = Reg({"add", "HKCU\\Software\\x", "/v", "n", "/d", "1"}, {}, empty);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("it is damaged (its tables are missing or incomplete)"), std::string::npos)
        << r.err;

    r = Reg({"query", "HKCU\\Software"}, {}, m_dir / "missing/registry.db");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;

    const std::string readOnly = m_dir / "ro.db";
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\x", "/v", "n", "/d", "1"}, {}, readOnly).exitCode, 0);
    ::chmod(readOnly.c_str(), 0444);
    r = Reg({"add", "HKCU\\Software\\x", "/v", "n", "/d", "2", "/f"}, {}, readOnly);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("read-only"), std::string::npos) << r.err;
    r = Reg({"query", "HKCU\\Software\\x"}, {}, readOnly);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("n    REG_SZ    1"), std::string::npos);
}

} // namespace
