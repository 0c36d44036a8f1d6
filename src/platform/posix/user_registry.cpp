#include "platform/posix/user_registry.h"

#include "platform/paths.h"
#include "platform/posix/home.h"
#include "platform/sqlite/active_store.h"

#include <cstdlib>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

namespace {

constexpr const char* kBrowserKey = "htmlfile\\shell\\opennew\\command";
constexpr std::string_view kLauncherTail = "/netvigil/browser";

std::unique_ptr<sqlite::RegistryStore>& Slot() {
    static std::unique_ptr<sqlite::RegistryStore> store;
    return store;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string BrowserCommand(const std::string& launcher) {
    return "\"" + launcher + "\" %1";
}

void WriteBrowserCommand(sqlite::RegistryStore& store, const std::string& command) {
    HKEY hKey = 0;
    if (store.CreateKeyEx(HKEY_CLASSES_ROOT, kBrowserKey, KEY_SET_VALUE, &hKey, nullptr) ==
        ERROR_SUCCESS) {
        store.SetValueEx(hKey, "", REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                         static_cast<DWORD>(command.size() + 1));
        store.CloseKey(hKey);
    }
}

// A fresh store gets the command that opens a web page, as a desktop provides
// it. A store first made by a build-tree run and later used by an installed
// Netvigil (or the other way round) is pointed at the launcher that exists;
// a command the user chose is never touched.
void SeedBrowserCommand(sqlite::RegistryStore& store) {
    const std::string launcher = LibexecDirectory() + "/browser";
    if (store.Created()) {
        WriteBrowserCommand(store, BrowserCommand(launcher));
        return;
    }
    if (store.ReadOnly() || !IsFile(launcher)) {
        return;
    }
    HKEY hKey = 0;
    if (store.OpenKeyEx(HKEY_CLASSES_ROOT, kBrowserKey, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) {
        return;
    }
    std::string value(4096, '\0');
    DWORD size = static_cast<DWORD>(value.size());
    DWORD type = 0;
    const LONG status =
        store.QueryValueEx(hKey, "", &type, reinterpret_cast<BYTE*>(value.data()), &size);
    store.CloseKey(hKey);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return;
    }
    value.resize(size);
    const std::string_view command(value.c_str());
    constexpr std::string_view kSuffix = "\" %1";
    if (command.size() < 1 + kSuffix.size() || command.front() != '"' ||
        !command.ends_with(kSuffix)) {
        return;
    }
    const std::string stored(command.substr(1, command.size() - 1 - kSuffix.size()));
    if (stored != launcher && std::string_view(stored).ends_with(kLauncherTail) &&
        !IsFile(stored)) {
        WriteBrowserCommand(store, BrowserCommand(launcher));
    }
}

} // namespace

std::string UserRegistryPath() {
    if (const char* path = std::getenv("NETVIGIL_REGISTRY"); path != nullptr && *path != '\0') {
        return path;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        config != nullptr && config[0] == '/' ? config : HomeDirectory() + "/.config";
    return base + "/netvigil/registry.db";
}

void CloseUserRegistry() {
    const std::lock_guard guard(sqlite::RegistryLock());
    Slot().reset();
}

} // namespace platform::posix

namespace platform {

std::string UserRegistryName() {
    return posix::UserRegistryPath();
}

std::string UserRegistryDescription() {
    return "the file named by NETVIGIL_REGISTRY, or else\n$XDG_CONFIG_HOME/netvigil/registry.db";
}

} // namespace platform

namespace platform::sqlite {

RegistryStore& ActiveStore() {
    auto& store = posix::Slot();
    if (!store) {
        const std::string path = posix::UserRegistryPath();
        // Only the default location is ours to make; a folder named through
        // NETVIGIL_REGISTRY that does not exist is a mistake to report.
        if (std::getenv("NETVIGIL_REGISTRY") == nullptr ||
            *std::getenv("NETVIGIL_REGISTRY") == '\0') {
            std::string dir = path.substr(0, path.rfind('/'));
            for (std::size_t at = 1; at != std::string::npos; at = dir.find('/', at + 1)) {
                ::mkdir(dir.substr(0, at).c_str(), 0700);
            }
            ::mkdir(dir.c_str(), 0700);
        }
        store = std::make_unique<RegistryStore>(path);
        if (store->Status() == ERROR_SUCCESS) {
            posix::SeedBrowserCommand(*store);
        }
    }
    return *store;
}

} // namespace platform::sqlite
