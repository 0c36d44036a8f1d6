// netvigil-reg.exe over Windows' own registry (that of the Wine prefix): the
// same commands and file format as on Linux. A file exported on Linux imports
// and exports again unchanged, byte for byte, and an import that fails part
// way takes back what it had written.

#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

using testing_support::ProgramResult;
using testing_support::ReadFileBytes;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

const std::string kKey = "HKCU\\Software\\Netvigil Round Trip";

class NetvigilReg : public ::testing::Test {
protected:
    void SetUp() override { Reg({"delete", kKey, "/f"}); }
    void TearDown() override { Reg({"delete", kKey, "/f"}); }

    // Windows ends its lines with a carriage return; the texts are compared
    // without them.
    static ProgramResult Reg(const std::vector<std::string>& args) {
        ProgramResult r = RunProgram("netvigil-reg", args);
        std::erase(r.out, '\r');
        std::erase(r.err, '\r');
        return r;
    }
    static void Ok(const std::vector<std::string>& args) {
        const ProgramResult r = Reg(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    TempDir m_dir;
};

TEST_F(NetvigilReg, AFileExportedOnLinuxComesBackByteForByte) {
    const std::string fromLinux = NETVIGIL_ROUND_TRIP_FILE;
    Ok({"import", fromLinux});
    ProgramResult r = Reg({"query", kKey + "\\Remote Hosts", "/v", "Host 1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("    Host 1    REG_SZ    Router\n"), std::string::npos) << r.out;

    const std::string exported = m_dir / "exported.reg";
    Ok({"export", kKey, exported});
    EXPECT_EQ(ReadFileBytes(exported), ReadFileBytes(fromLinux));
}

TEST_F(NetvigilReg, AddQueryAndDeleteAsOnLinux) {
    Ok({"add", kKey, "/v", "Backcolor", "/d", "128"});
    Ok({"add", kKey, "/v", "Size", "/t", "REG_DWORD", "/d", "0x10"});
    ProgramResult r = Reg({"query", kKey});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "\nHKEY_CURRENT_USER\\Software\\Netvigil Round Trip\n"
                     "    Backcolor    REG_SZ    128\n"
                     "    Size    REG_DWORD    0x10\n\n\n");
    r = Reg({"add", kKey, "/v", "Backcolor", "/d", "255"});
    EXPECT_EQ(r.exitCode, 1);
    Ok({"delete", kKey, "/v", "Size", "/f"});
    r = Reg({"query", kKey, "/v", "Size"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("unable to find"), std::string::npos) << r.err;
}

// Names as users give them, in the arguments, the registry, the output and a
// file's name alike: what is added comes back whole from a query, and from an
// export to a file of such a name and an import of it.
TEST_F(NetvigilReg, TextBeyondAsciiComesBackWhole) {
    const std::string hosts = kKey + "\\Remote Hosts";
    const std::string host = "Büro – Köln Zentrale Drucker";
    Ok({"add", hosts, "/v", "Host 1", "/d", host});
    Ok({"add", hosts, "/v", "Straße", "/d", "Fax 📠"});
    Ok({"add", hosts + "\\" + host, "/ve", "/d", "Straße"});
    const std::string expected =
        "\nHKEY_CURRENT_USER\\Software\\Netvigil Round Trip\\Remote Hosts\n"
        "    Host 1    REG_SZ    " +
        host +
        "\n"
        "    Straße    REG_SZ    Fax 📠\n\n"
        "HKEY_CURRENT_USER\\Software\\Netvigil Round Trip\\Remote Hosts\\" +
        host + "\n\n";
    ProgramResult r = Reg({"query", hosts});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);

    const std::string file = m_dir / "Büro – Köln.reg";
    Ok({"export", kKey, file});
    Ok({"delete", kKey, "/f"});
    EXPECT_EQ(Reg({"query", hosts}).exitCode, 1);
    Ok({"import", file});
    r = Reg({"query", hosts});
    EXPECT_EQ(r.out, expected);
    r = Reg({"query", hosts + "\\" + host, "/ve"});
    EXPECT_NE(r.out.find("(Default)    REG_SZ    Straße\n"), std::string::npos) << r.out;
}

TEST_F(NetvigilReg, AnImportThatFailsPartWayTakesItsWritesBack) {
    Ok({"add", kKey + "\\Kept", "/v", "old", "/d", "before"});
    Ok({"add", kKey + "\\Doomed", "/v", "inside", "/d", "still here"});
    const std::string file = m_dir / "partial.reg";
    WriteFileBytes(file, "REGEDIT4\r\n\r\n"
                         "[" +
                             kKey +
                             "\\New\\Deeper]\r\n\"made\"=\"1\"\r\n\r\n"
                             "[" +
                             kKey +
                             "\\Kept]\r\n\"old\"=\"after\"\r\n\"other\"=-\r\n\r\n"
                             "[-" +
                             kKey +
                             "\\Doomed]\r\n\r\n"
                             "[-HKEY_CURRENT_USER]\r\n");
    const ProgramResult r = Reg({"import", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 12"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Nothing was imported."), std::string::npos) << r.err;

    EXPECT_EQ(Reg({"query", kKey + "\\New"}).exitCode, 1);
    EXPECT_NE(Reg({"query", kKey + "\\Kept", "/v", "old"}).out.find("REG_SZ    before"),
              std::string::npos);
    EXPECT_NE(Reg({"query", kKey + "\\Doomed", "/v", "inside"}).out.find("still here"),
              std::string::npos);
}

} // namespace
