#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/user_registry.h"
#include "store.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        m_handles = OpenHandleCount();
    }
    void TearDown() override { EXPECT_EQ(OpenHandleCount(), m_handles); }

private:
    std::size_t m_handles = 0;
};

TEST_F(SettingsStore, ReadsDefaultsUntilWritten) {
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Backcolor", "128"), "128");
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 1", "1"), "1");
    ASSERT_EQ(SaveSetting("Netvigil", "Remote Hosts", "Host 1", ""), ERROR_SUCCESS);
    // An empty text is a stored value, not an absent one.
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 1", "1"), "");
    ASSERT_EQ(SaveSetting("Netvigil", "Remote Hosts", "IP Address 12", "10.0.0.12"), ERROR_SUCCESS);
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "IP Address 12", ""), "10.0.0.12");
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "IP Address 1", "none"), "none");
}

TEST_F(SettingsStore, NamesMatchWithoutRegardToCase) {
    ASSERT_EQ(SaveSetting("Netvigil", "Settings", "Textcolor", "65280"), ERROR_SUCCESS);
    EXPECT_EQ(GetSetting("NETVIGIL", "settings", "TextColor", "16777215"), "65280");
    ASSERT_EQ(SaveSetting("netvigil", "SETTINGS", "TEXTCOLOR", "255"), ERROR_SUCCESS);
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Textcolor", ""), "255");
    ASSERT_EQ(DeleteSetting("Netvigil", "Settings", "textCOLOR"), ERROR_SUCCESS);
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Textcolor", "16777215"), "16777215");
}

// Names of hosts as users give them: every character kept, and the case of
// letters beyond ASCII disregarded as well.
TEST_F(SettingsStore, TextBeyondAsciiComesBackWhole) {
    const std::string host = "Büro – Köln Zentrale Drucker";
    ASSERT_EQ(SaveSetting("Netvigil", "Remote Hosts", "Host 1", host), ERROR_SUCCESS);
    ASSERT_EQ(SaveSetting("Netvigil", "Remote Hosts", "Host 2", "Straße"), ERROR_SUCCESS);
    ASSERT_EQ(SaveSetting("Netvigil", "Remote Hosts", "Host 3", "Fax 📠"), ERROR_SUCCESS);
    ASSERT_EQ(SaveSetting("Netvigil", "Büro", "Köln", "1"), ERROR_SUCCESS);
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 1", ""), host);
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 2", ""), "Straße");
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 3", ""), "Fax 📠");
    EXPECT_EQ(GetSetting("Netvigil", "BÜRO", "KÖLN", "0"), "1");
    // Stored as text that any program of the system reads: a string value
    // of the bytes' UTF-8, with its NUL.
    HKEY h = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Netvigil\\Remote Hosts", 0, KEY_READ, &h),
              ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(h, "Host 1", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, host.size() + 1);
}

TEST_F(SettingsStore, LivesUnderTheUsersSoftwareKey) {
    ASSERT_EQ(SaveSetting("Netvigil", "Settings", "Backcolor", "128"), ERROR_SUCCESS);
    HKEY h = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Netvigil\\Settings", 0, KEY_READ, &h),
              ERROR_SUCCESS);
    DWORD type = 0;
    char data[8];
    DWORD size = sizeof data;
    ASSERT_EQ(RegQueryValueEx(h, "Backcolor", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(data, size), std::string("128\0", 4));
}

TEST_F(SettingsStore, DeletingWhatIsNotThereSucceeds) {
    EXPECT_EQ(DeleteSetting("Netvigil", "Settings", "Backcolor"), ERROR_SUCCESS);
    ASSERT_EQ(SaveSetting("Netvigil", "Settings", "Other", "x"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteSetting("Netvigil", "Settings", "Backcolor"), ERROR_SUCCESS);
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Other", ""), "x");
}

TEST_F(SettingsStore, ValuesWrittenByOtherToolsReadSensibly) {
    HKEY h = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Netvigil\\Settings", 0, "", 0,
                             KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    const BYTE dword[4] = {0x80, 0, 0, 0};
    RegSetValueEx(h, "Backcolor", 0, REG_DWORD, dword, 4);
    const BYTE binary[2] = {1, 2};
    RegSetValueEx(h, "Textcolor", 0, REG_BINARY, binary, 2);
    const char unterminated[] = {'a', 'b'};
    RegSetValueEx(h, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), 2);
    RegCloseKey(h);
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Backcolor", "0"), "128");
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Textcolor", "16777215"), "16777215");
    EXPECT_EQ(GetSetting("Netvigil", "Settings", "Name", ""), "ab");
}

TEST_F(SettingsStore, EmptyNamesAreRefused) {
    EXPECT_EQ(SaveSetting("Netvigil", "", "Key", "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SaveSetting("Netvigil", "Settings", "", "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetSetting("", "Settings", "Key", "d"), "d");
}

TEST_F(SettingsStore, NamesWithANulAreRefused) {
    ASSERT_EQ(SaveSetting("Netvigil", "Remote Hosts", "IP Address 1", "10.0.0.1"), ERROR_SUCCESS);
    const std::string cut("IP Address 1\0-x", 15);
    EXPECT_EQ(SaveSetting("Netvigil", "Remote Hosts", cut, "evil"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SaveSetting("Netvigil", std::string("Remote Hosts\0x", 14), "IP Address 1", "evil"),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(DeleteSetting("Netvigil", "Remote Hosts", cut), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", cut, "default"), "default");
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "IP Address 1", ""), "10.0.0.1");
}

// What a save of the options stands on: the writes of a transaction that is
// never committed (a save in which one failed) leave the store as it was,
// the sections they made included; committed, they stay.
TEST_F(SettingsStore, AnUncommittedTransactionLeavesTheStoreAsItWas) {
    ASSERT_EQ(SaveSetting("Netvigil", "Remote Hosts", "Host 1", "old"), ERROR_SUCCESS);
    {
        UserRegistryTransaction transaction;
        ASSERT_EQ(transaction.Status(), ERROR_SUCCESS);
        EXPECT_EQ(SaveSetting("Netvigil", "Remote Hosts", "Host 1", "new"), ERROR_SUCCESS);
        EXPECT_EQ(SaveSetting("Netvigil", "Remote Hosts", "Host 2", "added"), ERROR_SUCCESS);
        EXPECT_EQ(SaveSetting("Netvigil", "Settings", "Backcolor", "255"), ERROR_SUCCESS);
        EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 1", ""), "new");
    }
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 1", ""), "old");
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 2", "absent"), "absent");
    HKEY hKey = 0;
    EXPECT_EQ(
        RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Netvigil\\Settings", 0, KEY_QUERY_VALUE, &hKey),
        ERROR_FILE_NOT_FOUND);

    UserRegistryTransaction transaction;
    EXPECT_EQ(SaveSetting("Netvigil", "Remote Hosts", "Host 1", "new"), ERROR_SUCCESS);
    EXPECT_EQ(transaction.Commit(), ERROR_SUCCESS);
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Host 1", ""), "new");
}

} // namespace
