// clsRegistry over the registry functions: reads and writes by type, the
// location rules, enumeration, errors with their exact texts, and the
// file-type associations, with no handle left open by any of it.

#include "platform/handles.h"
#include "platform/registry.h"
#include "registry/RegistryError.h"
#include "registry/clsRegistry.h"
#include "store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

using namespace platform;

namespace {

constexpr std::int32_t HKCR = clsRegistry::HKEY_CLASSES_ROOT;
constexpr std::int32_t HKLM = clsRegistry::HKEY_LOCAL_MACHINE;

struct Raw {
    DWORD type = 0;
    std::string data;
    bool found = false;
};

// Straight to the store, past the class.
void Put(HKEY root, const std::string& path, const char* name, DWORD type,
         const std::string& data) {
    HKEY h = 0;
    ASSERT_EQ(RegCreateKeyEx(root, path.c_str(), 0, "", 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegSetValueEx(h, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                  static_cast<DWORD>(data.size()));
    RegCloseKey(h);
}

Raw Get(HKEY root, const std::string& path, const char* name = "") {
    Raw raw;
    HKEY h = 0;
    if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return raw;
    }
    DWORD size = 0;
    if (RegQueryValueEx(h, name, nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
        raw.data.resize(size);
        RegQueryValueEx(h, name, nullptr, &raw.type, reinterpret_cast<BYTE*>(raw.data.data()),
                        &size);
        raw.found = true;
    }
    RegCloseKey(h);
    return raw;
}

bool Exists(HKEY root, const std::string& path) {
    HKEY h = 0;
    const bool exists = RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS;
    if (exists) {
        RegCloseKey(h);
    }
    return exists;
}

std::string Sz(const std::string& text) {
    return text + '\0';
}

RegistryError Raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const RegistryError& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return RegistryError(0, "", "");
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        m_handles = OpenHandleCount();
    }
    void TearDown() override {
        EXPECT_EQ(OpenHandleCount(), m_handles) << "a handle outlived its operation";
    }

    clsRegistry reg;

private:
    std::size_t m_handles = 0;
};

TEST_F(Registry, MachineIsNormalisedAndOnlyValueGoesRemote) {
    reg.SetMachine("ab");
    EXPECT_EQ(reg.Machine(), "");
    reg.SetMachine("pc7");
    EXPECT_EQ(reg.Machine(), "\\\\pc7");
    reg.SetMachine("\\\\pc7");
    EXPECT_EQ(reg.Machine(), "\\\\pc7");

    // No remote registry here: the read gives Default, the write nothing.
    Put(HKEY_CLASSES_ROOT, "x", "v", REG_SZ, Sz("local"));
    reg.SetDefault(Variant::Text("fallback"));
    EXPECT_EQ(reg.ValueEx(HKCR, "x", "v", 1, Variant::Text("fallback")), Variant::Text("fallback"));
    reg.SetValue(Variant::Text("changed"));
    EXPECT_EQ(Get(HKEY_CLASSES_ROOT, "x", "v").data, Sz("local"));
    // Everything else stays local.
    EXPECT_TRUE(reg.KeyExists());
}

TEST_F(Registry, ReadsEachTypeAsItsKindOfValue) {
    const std::string key = "htmlfile\\shell\\opennew\\command";
    Put(HKEY_CLASSES_ROOT, key, "", REG_SZ, Sz("\"/usr/lib/browser\" %1"));
    Put(HKEY_CLASSES_ROOT, key, "empty", REG_SZ, "");
    Put(HKEY_CLASSES_ROOT, key, "multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    Put(HKEY_CLASSES_ROOT, key, "big", REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\x02", 4));
    Put(HKEY_CLASSES_ROOT, key, "dword", REG_DWORD, std::string("\xFE\xFF\xFF\xFF", 4));
    Put(HKEY_CLASSES_ROOT, key, "bin", REG_BINARY, "\x01\x02\x03");
    Put(HKEY_CLASSES_ROOT, key, "eleven", 11, std::string(8, '\x05'));
    const testing_support::ScopedEnv home("NV_TEST_HOME", "/home/u");
    Put(HKEY_CLASSES_ROOT, key, "exp", REG_EXPAND_SZ, Sz("%NV_TEST_HOME%\\x"));

    const auto read = [&](const char* name) { return reg.ValueEx(HKCR, key, name, 1, Variant()); };
    // What the main window reads at start-up.
    EXPECT_EQ(read(""), Variant::Text("\"/usr/lib/browser\" %1"));
    EXPECT_EQ(reg.ValueType(), 1);
    EXPECT_EQ(read("empty"), Variant::Text(""));
    EXPECT_EQ(read("multi"), Variant::Text(std::string("a\0b\0", 4)));
    EXPECT_EQ(reg.ValueType(), 7);
    EXPECT_EQ(read("big"), Variant::Long(258));
    EXPECT_EQ(read("dword"), Variant::Long(-2));
    EXPECT_EQ(reg.ValueType(), 4);
    EXPECT_EQ(read("bin"), Variant::Bytes({1, 2, 3}));
    EXPECT_EQ(read("eleven"), Variant::Bytes(std::vector<std::uint8_t>(8, 5)));
    EXPECT_EQ(reg.ValueType(), 11);
    EXPECT_EQ(read("exp"), Variant::Text("/home/u\\x"));
    EXPECT_EQ(reg.ValueType(), 2);

    // Nothing there: Default, and the type as it was.
    reg.SetValueType(7);
    reg.SetValueKey("absent");
    EXPECT_EQ(reg.Value(), Variant());
    reg.SetSectionKey("no\\such\\key");
    reg.SetDefault(Variant::Text("d"));
    EXPECT_EQ(reg.Value(), Variant::Text("d"));
    EXPECT_EQ(reg.ValueType(), 7);
    reg.SetClassKey(0);
    EXPECT_EQ(reg.Value(), Variant::Text("d"));
}

TEST_F(Registry, WritesChooseTheirTypeByTheRules) {
    const auto write = [&](std::int32_t type, const Variant& value) {
        reg.SetClassKey(HKCR);
        reg.SetSectionKey("w");
        reg.SetValueKey("v");
        reg.SetValueType(type);
        reg.SetValue(value);
        return Get(HKEY_CLASSES_ROOT, "w", "v");
    };
    EXPECT_EQ(write(1, Variant::Text("%TEMP%\\x")).type, REG_EXPAND_SZ);
    const testing_support::ScopedEnv temp("TEMP", "/tmp");
    EXPECT_EQ(reg.Value(), Variant::Text("/tmp\\x"));
    EXPECT_EQ(reg.ValueType(), 2);
    for (const char* plain : {"50%", "100%", "%%", "a%"}) {
        const Raw raw = write(2, Variant::Text(plain));
        EXPECT_EQ(raw.type, REG_SZ) << plain;
        EXPECT_EQ(raw.data, Sz(plain));
    }
    EXPECT_EQ(write(1, Variant::Text("Grüße")).data, Sz("Grüße"));
    EXPECT_EQ(write(1, Variant::Long(42)).data, Sz("42"));

    EXPECT_EQ(write(5, Variant::Long(258)).type, REG_DWORD);
    EXPECT_EQ(Get(HKEY_CLASSES_ROOT, "w", "v").data, std::string("\x02\x01\0\0", 4));
    EXPECT_EQ(reg.Value(), Variant::Long(258));
    EXPECT_EQ(reg.ValueType(), 4);
    EXPECT_EQ(write(4, Variant::Integer(-1)).data, std::string(4, '\xFF'));
    // A DWORD from text writes nothing, and that is no error.
    EXPECT_EQ(write(4, Variant::Text("5")).data, std::string(4, '\xFF'));

    EXPECT_EQ(write(3, Variant::Bytes({0, 1, 0})).data, std::string("\0\x01\0", 3));
    const RegistryError notBytes = Raised([&] { write(3, Variant::Text("abc")); });
    EXPECT_EQ(notBytes.Number(), 26001);
    EXPECT_EQ(notBytes.Source(), "");
    EXPECT_EQ(notBytes.Description(), "");

    for (const std::int32_t refused : {7, 0}) {
        reg.SetSectionKey("made\\by" + std::to_string(refused));
        reg.SetValueType(refused);
        const RegistryError e = Raised([&] { reg.SetValue(Variant::Text("t")); });
        EXPECT_EQ(e.Number(), static_cast<std::int32_t>(0x800469A9u));
        EXPECT_EQ(e.Description(),
                  "Failed to set registry value Key: '-2147483648',Section: 'made\\by" +
                      std::to_string(refused) + "',Key: 'v' to value: 't'");
        EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "made\\by" + std::to_string(refused)));
        EXPECT_FALSE(Get(HKEY_CLASSES_ROOT, "made\\by" + std::to_string(refused), "v").found);
    }

    reg.SetClassKey(0);
    const RegistryError noRoot = Raised([&] { reg.SetValue(Variant::Text("t")); });
    EXPECT_EQ(noRoot.Number(), 26001);
    EXPECT_EQ(noRoot.Description(),
              "Failed to set registry Value Key: '0',Section: 'made\\by0',Key: 'v' to value: 't'");
    EXPECT_TRUE(noRoot.Source().ends_with(".cRegistry"));
    EXPECT_EQ(noRoot.Source().find_first_of("/\\"), std::string::npos);
}

TEST_F(Registry, ValueExStoresItsArgumentsAndSubstitutesDefault) {
    reg.SetValueEx(HKCR, "ex", "v", 1, Variant::Text("x"), Variant::Text(""));
    EXPECT_EQ(Get(HKEY_CLASSES_ROOT, "ex", "v").data, Sz("x"));
    EXPECT_EQ(reg.ClassKey(), HKCR);
    EXPECT_EQ(reg.SectionKey(), "ex");
    EXPECT_EQ(reg.ValueKey(), "v");
    EXPECT_EQ(reg.Default(), Variant::Text("x"));
    reg.SetValueEx(HKCR, "ex", "v", 2, Variant::Text("x"), Variant::Text(""));
    EXPECT_EQ(Get(HKEY_CLASSES_ROOT, "ex", "v").data, Sz(""));
    EXPECT_EQ(reg.ValueEx(HKCR, "ex", "w", 4, Variant::Long(9)), Variant::Long(9));
    EXPECT_EQ(reg.ValueType(), 4);
}

TEST_F(Registry, EnumerationsAreOneBasedLists) {
    Put(HKEY_CLASSES_ROOT, "e", "first", REG_SZ, Sz("1"));
    Put(HKEY_CLASSES_ROOT, "e", "second", REG_SZ, Sz("2"));
    Put(HKEY_CLASSES_ROOT, "e", "", REG_SZ, Sz("default"));
    reg.SetClassKey(HKCR);
    reg.SetSectionKey("e");
    NameList names;
    std::int32_t count = -1;
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    ASSERT_EQ(count, 3);
    // In the order the registry hands them out.
    const bool sorted = testing_support::WineDiffers("values are listed sorted by name");
    EXPECT_EQ(names(1), sorted ? "" : "first");
    EXPECT_EQ(names(2), sorted ? "first" : "second");
    EXPECT_EQ(names(3), sorted ? "second" : "");
    EXPECT_THROW(names(0), std::out_of_range);

    for (const std::string& sub :
         std::vector<std::string>{"b", "a", "m" + std::string(254, 'x'), "z"}) {
        Put(HKEY_CLASSES_ROOT, "e\\" + sub, "v", REG_SZ, "");
    }
    // The 255-character name does not fit the 255-character buffer: the
    // listing ends before it.
    EXPECT_TRUE(reg.EnumerateSections(names, count));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(names(1), "a");
    EXPECT_EQ(names(2), "b");

    reg.SetSectionKey("missing");
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(names.Count(), 0);
    EXPECT_TRUE(reg.EnumerateSections(names, count));
    EXPECT_EQ(count, 0);
}

TEST_F(Registry, KeysAndValuesComeAndGoWithTheirErrors) {
    reg.SetClassKey(HKCR);
    reg.SetSectionKey("k\\deep");
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_TRUE(reg.CreateKey());
    EXPECT_TRUE(reg.KeyExists());

    reg.SetValueKey("v");
    RegistryError e = Raised([&] { reg.DeleteValue(); });
    EXPECT_EQ(e.Number(), 26001);
    EXPECT_EQ(e.Description(),
              "Failed to delete registry Key: '-2147483648',Section: 'k\\deep',Key: 'v");
    Put(HKEY_CLASSES_ROOT, "k\\deep", "v", REG_SZ, "");
    EXPECT_TRUE(reg.DeleteValue());

    reg.SetSectionKey("nope");
    e = Raised([&] { reg.DeleteValue(); });
    EXPECT_EQ(e.Description(),
              "Failed to open key '-2147483648',Section: 'nope' for delete access");
    e = Raised([&] { reg.DeleteKey(); });
    EXPECT_EQ(e.Description(), "Failed to delete registry");

    reg.SetSectionKey("k");
    e = Raised([&] { reg.DeleteKey(); }); // it has a subkey
    EXPECT_EQ(e.Number(), 26001);
    reg.SetSectionKey("k\\deep");
    EXPECT_TRUE(reg.DeleteKey());

    reg.SetClassKey(0);
    e = Raised([&] { reg.CreateKey(); });
    EXPECT_EQ(e.Number(), 26001);
    EXPECT_EQ(e.Description(), "Failed to create registry");
    EXPECT_FALSE(reg.KeyExists());
}

// A name cut at a NUL would be another key's or value's name.
TEST_F(Registry, NamesWithANulReachNoOtherKeyOrValue) {
    Put(HKEY_CLASSES_ROOT, "k", "v", REG_SZ, Sz("kept"));
    reg.SetClassKey(HKCR);
    reg.SetSectionKey(std::string("k\0\\evil", 7));
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_EQ(Raised([&] { reg.CreateKey(); }).Number(), 26001);
    reg.SetSectionKey("k");
    reg.SetValueKey(std::string("v\0x", 3));
    reg.SetValueType(REG_SZ);
    EXPECT_TRUE(reg.Value().IsEmpty());
    EXPECT_EQ(Raised([&] { reg.SetValue(Variant::Text("changed")); }).Number(),
              static_cast<std::int32_t>(0x800469A9));
    EXPECT_EQ(Raised([&] { reg.DeleteValue(); }).Number(), 26001);
    EXPECT_EQ(Get(HKEY_CLASSES_ROOT, "k", "v").data, Sz("kept"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "k\\evil"));
}

// Every row below both roots.
void ExpectRow(const std::string& path, const std::string& value, DWORD type = REG_SZ) {
    for (const auto& [root, prefix] :
         {std::pair{HKEY_CLASSES_ROOT, std::string()},
          std::pair{HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\Classes\\")}}) {
        const Raw raw = Get(root, prefix + path);
        EXPECT_TRUE(raw.found) << prefix << path;
        EXPECT_EQ(raw.data, Sz(value)) << prefix << path;
        EXPECT_EQ(raw.type, type) << prefix << path;
    }
}

TEST_F(Registry, AssociationWritesEveryRowBelowBothRoots) {
    reg.CreateEXEAssociation("  /opt/nv/viewer  ", "NV.Doc", "Netvigil document", "nvd", "", true,
                             "", true, "", true, "", 0);
    const std::string P = "\"/opt/nv/viewer\"";
    ExpectRow(".nvd", "NV.Doc");
    ExpectRow("NV.Doc", "Netvigil document");
    ExpectRow("NV.Doc\\shell\\open", "&Open");
    ExpectRow("NV.Doc\\shell\\open\\command", P + " \"%1\"");
    ExpectRow("NV.Doc\\shell\\print", "&Print");
    ExpectRow("NV.Doc\\shell\\print\\command", P + " /p \"%1\"");
    ExpectRow("NV.Doc\\shell\\add", "&Install nvd");
    ExpectRow("NV.Doc\\shell\\add\\command", P + " /a \"%1\"");
    ExpectRow("NV.Doc\\shell\\new", "&New");
    ExpectRow("NV.Doc\\shell\\new\\command", P + " /n \"%1\"");
    ExpectRow("NV.Doc\\DefaultIcon", P + ",0");
    EXPECT_EQ(reg.ClassKey(), HKLM);
    EXPECT_EQ(reg.SectionKey(), "NV.Doc\\DefaultIcon");
    EXPECT_EQ(reg.ValueKey(), "");
    EXPECT_EQ(reg.ValueType(), 1);

    FreshStore();
    reg.CreateEXEAssociation("\"/opt/nv/viewer", "Min", "", "min", "&View", false, "x", false, "x",
                             false, "x", -1);
    ExpectRow("Min", "");
    ExpectRow("Min\\shell\\open", "&View");
    ExpectRow("Min\\shell\\open\\command", "\"/opt/nv/viewer\" \"%1\"");
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "Min\\shell\\print"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "Min\\DefaultIcon"));
    EXPECT_EQ(reg.SectionKey(), "Min\\shell\\open\\command");

    // Environment references make the commands expandable; "%1" alone never does.
    reg.CreateEXEAssociation("\"%ProgramFiles%\\nv.exe\"", "Exp", "d", "exp", "", false, "", false,
                             "", false, "", 2);
    ExpectRow("Exp\\shell\\open\\command", "\"%ProgramFiles%\\nv.exe\" \"%1\"", REG_EXPAND_SZ);
    ExpectRow("Exp\\DefaultIcon", "\"%ProgramFiles%\\nv.exe\",2", REG_EXPAND_SZ);
    reg.CreateEXEAssociation("C:\\100%\\nv.exe", "One", "d", "one", "", false, "", false, "", false,
                             "", 0);
    ExpectRow("One\\shell\\open\\command", "\"C:\\100%\\nv.exe\" \"%1\"", REG_EXPAND_SZ);
    ExpectRow("One\\DefaultIcon", "\"C:\\100%\\nv.exe\",0", REG_SZ);
    reg.CreateEXEAssociation("", "Empty", "d", "e", "", false, "", false, "", false, "", -1);
    ExpectRow("Empty\\shell\\open\\command", "\" \"%1\"");
}

TEST_F(Registry, AdditionalVerbsNeedTheClassAndWholeTriples) {
    reg.CreateEXEAssociation("/opt/nv", "NV.Doc", "d", "nvd");
    const std::vector<Variant> four = {Variant::Text("edit"), Variant::Text("&Edit"),
                                       Variant::Text("c"), Variant::Text("extra")};
    RegistryError e = Raised([&] { reg.CreateAdditionalEXEAssociations("NV.Doc", four); });
    EXPECT_EQ(e.Number(), static_cast<std::int32_t>(0x800469ACu));
    EXPECT_EQ(e.Description(), "Invalid parameter list passed to CreateAdditionalEXEAssociations - "
                               "expected Name/Text/Command");
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "NV.Doc\\shell\\edit"));

    e = Raised([&] { reg.CreateAdditionalEXEAssociations("Unknown", {}); });
    EXPECT_EQ(e.Number(), static_cast<std::int32_t>(0x800469ADu));
    EXPECT_EQ(e.Description(),
              "Error - attempt to create additional associations before class defined.");

    // The class is found below HKEY_CLASSES_ROOT even though the association
    // above left the instance at HKEY_LOCAL_MACHINE.
    EXPECT_NO_THROW(reg.CreateAdditionalEXEAssociations("NV.Doc", {}));
    reg.CreateAdditionalEXEAssociations("NV.Doc",
                                        {Variant::Text("edit"), Variant::Text("&Edit"),
                                         Variant::Text("\"/opt/ed\" \"%1\""), Variant::Text("view"),
                                         Variant::Text("&View"), Variant::Long(7)});
    ExpectRow("NV.Doc\\shell\\edit", "&Edit");
    ExpectRow("NV.Doc\\shell\\edit\\command", "\"/opt/ed\" \"%1\"");
    ExpectRow("NV.Doc\\shell\\view\\command", "7");
}

TEST_F(Registry, AFailingSecondWriteStopsWithTheSectionMoved) {
    if (!MakeRootReadOnly(HKEY_LOCAL_MACHINE)) {
        GTEST_SKIP() << "this store cannot refuse writes below one root";
    }
    const RegistryError e =
        Raised([&] { reg.CreateEXEAssociation("/opt/nv", "NV.Doc", "d", "nvd"); });
    EXPECT_EQ(e.Number(), 26001);
    EXPECT_EQ(e.Description(),
              "Failed to set registry Value Key: '-2147483646',Section: 'SOFTWARE\\Classes\\.nvd',"
              "Key: '' to value: 'NV.Doc'");
    EXPECT_EQ(reg.SectionKey(), "SOFTWARE\\Classes\\.nvd");
    EXPECT_EQ(reg.ClassKey(), HKLM);
    EXPECT_EQ(Get(HKEY_CLASSES_ROOT, ".nvd").data, Sz("NV.Doc"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "NV.Doc"));

    // Additional verbs write what they can (each row below the classes root)
    // and raise nothing.
    Put(HKEY_CLASSES_ROOT, "NV.Doc", "", REG_SZ, Sz("d"));
    EXPECT_NO_THROW(reg.CreateAdditionalEXEAssociations(
        "NV.Doc", {Variant::Text("edit"), Variant::Text("&Edit"), Variant::Text("ed")}));
    EXPECT_EQ(Get(HKEY_CLASSES_ROOT, "NV.Doc\\shell\\edit").data, Sz("&Edit"));
    EXPECT_EQ(Get(HKEY_CLASSES_ROOT, "NV.Doc\\shell\\edit\\command").data, Sz("ed"));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\NV.Doc"));
}

} // namespace
