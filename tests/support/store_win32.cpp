// The Windows registry as a fresh store: each of the four roots is pointed, for
// this process only, at an empty key of its own below the real
// HKEY_CURRENT_USER\Software\Netvigil Tests, which goes when the tests end.

#include "store.h"
#include "test_support.h"

#include <cstdlib>
#include <iterator>
#include <string>
#include <windows.h>

namespace {

const std::string kScratch = "Software\\Netvigil Tests\\" + std::to_string(GetCurrentProcessId());

const std::pair<HKEY, const char*> kRoots[] = {{HKEY_CLASSES_ROOT, "HKCR"},
                                               {HKEY_CURRENT_USER, "HKCU"},
                                               {HKEY_LOCAL_MACHINE, "HKLM"},
                                               {HKEY_USERS, "HKU"}};

// The scratch key, opened below the real HKEY_CURRENT_USER.
HKEY g_scratch = nullptr;

void RemoveScratch() {
    for (const auto& [root, name] : kRoots) {
        RegOverridePredefKey(root, nullptr);
    }
    if (g_scratch != nullptr) {
        RegCloseKey(g_scratch);
        g_scratch = nullptr;
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch.c_str());
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &parent) == 0) {
        // The shared parent goes with the last of its children.
        RegDeleteKeyA(parent, "Netvigil Tests");
        RegCloseKey(parent);
    }
}

} // namespace

void FreshStore() {
    static const bool cleanup = std::atexit(RemoveScratch) == 0;
    static_cast<void>(cleanup);
    RemoveScratch();
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kScratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &g_scratch, nullptr) != 0) {
        g_scratch = nullptr;
        return;
    }
    for (const auto& [root, name] : kRoots) {
        HKEY own = nullptr;
        if (RegCreateKeyExA(g_scratch, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &own,
                            nullptr) == 0) {
            RegOverridePredefKey(root, own);
            RegCloseKey(own);
        }
    }
}

bool MakeRootReadOnly(platform::HKEY root) {
    if (testing_support::WineDiffers("a key opened only to read may create subkeys")) {
        return false;
    }
    const auto native = reinterpret_cast<HKEY>(root);
    for (const auto& [predefined, name] : kRoots) {
        HKEY readOnly = nullptr;
        if (predefined == native && g_scratch != nullptr &&
            RegOpenKeyExA(g_scratch, name, 0, KEY_READ, &readOnly) == 0) {
            RegOverridePredefKey(native, readOnly);
            RegCloseKey(readOnly);
            return true;
        }
    }
    return false;
}
