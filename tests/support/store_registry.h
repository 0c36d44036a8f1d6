#pragma once

// The store in memory, through the registry functions of the fake backend,
// and a store file of our own beside it: the pair the differential tests
// compare.

#include "platform/fake/fake_registry.h"
#include "platform/sqlite/registry_store.h"
#include "registry_sequence.h"
#include "test_support.h"

#include <filesystem>
#include <memory>

class StoreRegistry final : public registry_sequence::Registry {
public:
    using BYTE = platform::BYTE;
    using DWORD = platform::DWORD;
    using HKEY = platform::HKEY;
    using LONG = platform::LONG;
    using REGSAM = platform::REGSAM;

    explicit StoreRegistry(platform::sqlite::RegistryStore& store) : m_store(store) {}
    LONG OpenKey(HKEY hKey, const char* sub, REGSAM sam, HKEY* out) override {
        return m_store.OpenKeyEx(hKey, sub, sam, out);
    }
    LONG CreateKey(HKEY hKey, const char* sub, REGSAM sam, HKEY* out, DWORD* disposition) override {
        return m_store.CreateKeyEx(hKey, sub, sam, out, disposition);
    }
    LONG CloseKey(HKEY hKey) override { return m_store.CloseKey(hKey); }
    LONG QueryValue(HKEY hKey, const char* name, DWORD* type, BYTE* data, DWORD* size) override {
        return m_store.QueryValueEx(hKey, name, type, data, size);
    }
    LONG SetValue(HKEY hKey, const char* name, DWORD type, const BYTE* data, DWORD size) override {
        return m_store.SetValueEx(hKey, name, type, data, size);
    }
    LONG DeleteKey(HKEY hKey, const char* sub) override { return m_store.DeleteKey(hKey, sub); }
    LONG DeleteValue(HKEY hKey, const char* name) override {
        return m_store.DeleteValue(hKey, name);
    }
    LONG EnumKey(HKEY hKey, DWORD index, char* name, DWORD room) override {
        return m_store.EnumKey(hKey, index, name, room);
    }
    LONG EnumValue(HKEY hKey, DWORD index, char* name, DWORD* nameRoom, DWORD* type, BYTE* data,
                   DWORD* size) override {
        return m_store.EnumValue(hKey, index, name, nameRoom, type, data, size);
    }
    LONG QueryInfo(HKEY hKey, Info* info) override {
        platform::sqlite::RegistryStore::KeyInfo key;
        const LONG status = m_store.QueryInfoKey(hKey, &key);
        if (status == platform::ERROR_SUCCESS) {
            *info = {key.subKeys, key.maxSubKeyLen, key.values, key.maxValueNameLen,
                     key.maxValueLen};
        }
        return status;
    }

private:
    platform::sqlite::RegistryStore& m_store;
};

// A store file is made afresh for each sequence, in memory where it can be:
// what is compared is the store, not the disk.
class MemoryAndFile final : public registry_sequence::Pair {
public:
    MemoryAndFile() : m_memory(registry_sequence::Functions()) {}
    void Fresh() override {
        m_registry.reset();
        m_store.reset();
        platform::fake::ResetRegistry();
        const std::string path = m_dir->Path() + "/registry.db";
        std::filesystem::remove(path);
        std::filesystem::remove(path + "-journal");
        m_store = std::make_unique<platform::sqlite::RegistryStore>(path);
        m_registry = std::make_unique<StoreRegistry>(*m_store);
    }
    registry_sequence::Registry& First() override { return *m_memory; }
    registry_sequence::Registry& Second() override { return *m_registry; }

private:
    std::unique_ptr<testing_support::TempDir> m_dir = testing_support::TempDirInMemory();
    std::unique_ptr<registry_sequence::Registry> m_memory;
    std::unique_ptr<platform::sqlite::RegistryStore> m_store;
    std::unique_ptr<StoreRegistry> m_registry;
};
