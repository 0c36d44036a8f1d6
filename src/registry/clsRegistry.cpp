#include "registry/clsRegistry.h"

#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "registry/RegistryError.h"

#include <algorithm>
#include <cstring>
#include <exception>

using namespace platform;

namespace {

constexpr std::int32_t kErrorRegistry = 26001;
constexpr std::int32_t kErrorSetValue = static_cast<std::int32_t>(0x800469A9u);
constexpr std::int32_t kErrorEnumerate = static_cast<std::int32_t>(0x800469AAu);
constexpr std::int32_t kErrorItemList = static_cast<std::int32_t>(0x800469ACu);
constexpr std::int32_t kErrorNoClass = static_cast<std::int32_t>(0x800469ADu);
constexpr REGSAM kAllAccess = 0x3F;

// The running program's file name without its extension, then ".cRegistry".
std::string Source() {
    std::string name = ExecutablePath();
    name = name.substr(name.find_last_of("/\\") + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name + ".cRegistry";
}

[[noreturn]] void Raise(std::int32_t number, const std::string& description) {
    throw RegistryError(number, Source(), description);
}

HKEY Root(std::int32_t lClassKey) {
    return static_cast<HKEY>(lClassKey);
}

// Closes a key when the scope ends, however it ends.
class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (m_h != 0) {
            RegCloseKey(m_h);
        }
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    HKEY* Out() { return &m_h; }
    HKEY Get() const { return m_h; }

private:
    HKEY m_h = 0;
};

LONG CreateKeyAt(HKEY root, const std::string& path, KeyHandle& key) {
    const SECURITY_ATTRIBUTES sa{};
    DWORD disposition = 0;
    return RegCreateKeyEx(root, path, 0, "", REG_OPTION_NON_VOLATILE, kAllAccess, &sa, key.Out(),
                          &disposition);
}

// Stored as REG_EXPAND_SZ when a "%" has another one at least two places on.
bool LooksExpandable(const std::string& text) {
    const auto first = text.find('%');
    return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

} // namespace

void clsRegistry::SetMachine(const std::string& sMachine) {
    if (sMachine.size() < 3) {
        m_sMachine.clear();
    } else if (!sMachine.starts_with("\\\\")) {
        m_sMachine = "\\\\" + sMachine;
    } else {
        m_sMachine = sMachine;
    }
}

bool clsRegistry::KeyExists() const {
    KeyHandle key;
    return RegOpenKeyEx(Root(m_lClassKey), m_sSectionKey, 0, KEY_QUERY_VALUE, key.Out()) ==
           ERROR_SUCCESS;
}

bool clsRegistry::CreateKey() {
    KeyHandle key;
    if (CreateKeyAt(Root(m_lClassKey), m_sSectionKey, key) != ERROR_SUCCESS) {
        Raise(kErrorRegistry, "Failed to create registry");
    }
    return true;
}

bool clsRegistry::DeleteKey() {
    if (RegDeleteKey(Root(m_lClassKey), m_sSectionKey) != ERROR_SUCCESS) {
        Raise(kErrorRegistry, "Failed to delete registry");
    }
    return true;
}

bool clsRegistry::DeleteValue() {
    const std::string root = std::to_string(m_lClassKey);
    KeyHandle key;
    if (RegOpenKeyEx(Root(m_lClassKey), m_sSectionKey, 0, kAllAccess, key.Out()) != ERROR_SUCCESS) {
        Raise(kErrorRegistry, "Failed to open key '" + root + "',Section: '" + m_sSectionKey +
                                  "' for delete access");
    }
    if (RegDeleteValue(key.Get(), m_sValueKey) != ERROR_SUCCESS) {
        Raise(kErrorRegistry, "Failed to delete registry Key: '" + root + "',Section: '" +
                                  m_sSectionKey + "',Key: '" + m_sValueKey);
    }
    return true;
}

Variant clsRegistry::Value() {
    KeyHandle connection;
    HKEY root = Root(m_lClassKey);
    if (!m_sMachine.empty()) {
        if (RegConnectRegistry(m_sMachine.c_str(), root, connection.Out()) != ERROR_SUCCESS) {
            return m_vDefault;
        }
        root = connection.Get();
    }
    KeyHandle key;
    if (RegOpenKeyEx(root, m_sSectionKey, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) {
        return m_vDefault;
    }
    DWORD type = 0;
    BYTE probe[4] = {};
    DWORD size = 0;
    const LONG status = RegQueryValueEx(key.Get(), m_sValueKey, nullptr, &type, probe, &size);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        return m_vDefault;
    }
    m_lValueType = static_cast<std::int32_t>(type);
    // Room for the whole value, and never less than a DWORD: a DWORD value
    // stored with more bytes than four must not overrun its buffer.
    std::vector<BYTE> data(std::max<DWORD>(size, 4));
    DWORD read = size;
    RegQueryValueEx(key.Get(), m_sValueKey, nullptr, nullptr, data.data(), &read);
    const auto dword = [&data] {
        std::uint32_t value = 0;
        std::memcpy(&value, data.data(), sizeof value);
        return static_cast<std::int32_t>(value);
    };
    switch (type) {
    case REG_SZ:
    case REG_MULTI_SZ:
        return Variant::Text(std::string(data.begin(), data.begin() + (size > 0 ? size - 1 : 0)));
    case REG_EXPAND_SZ:
        return Variant::Text(ExpandEnvironmentText(
            std::string(data.begin(), data.begin() + (size > 0 ? size - 1 : 0))));
    case REG_DWORD:
        return Variant::Long(dword());
    case REG_DWORD_BIG_ENDIAN:
        return Variant::Long(ReverseByteOrder(dword()));
    default:
        return Variant::Bytes(std::vector<std::uint8_t>(data.begin(), data.begin() + size));
    }
}

void clsRegistry::SetValue(const Variant& vValue) {
    KeyHandle connection;
    HKEY root = Root(m_lClassKey);
    if (!m_sMachine.empty()) {
        if (RegConnectRegistry(m_sMachine.c_str(), root, connection.Out()) != ERROR_SUCCESS) {
            return;
        }
        root = connection.Get();
    }
    const std::string location = "Key: '" + std::to_string(m_lClassKey) + "',Section: '" +
                                 m_sSectionKey + "',Key: '" + m_sValueKey + "' to value: '" +
                                 vValue.ToText() + "'";
    KeyHandle key;
    if (CreateKeyAt(root, m_sSectionKey, key) != ERROR_SUCCESS) {
        Raise(kErrorRegistry, "Failed to set registry Value " + location);
    }
    LONG status = ERROR_SUCCESS;
    switch (m_lValueType) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        const std::string text = vValue.ToText();
        // The size is the text's bytes and its terminator: with UTF-8 a
        // character may take more than one byte.
        status = RegSetValueEx(
            key.Get(), m_sValueKey, 0, LooksExpandable(text) ? REG_EXPAND_SZ : REG_SZ,
            reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
        break;
    }
    case REG_BINARY: {
        if (!vValue.IsBytes()) {
            throw RegistryError(kErrorRegistry, "", "");
        }
        const auto& bytes = vValue.ToBytes();
        status = RegSetValueEx(key.Get(), m_sValueKey, 0, REG_BINARY, bytes.data(),
                               static_cast<DWORD>(bytes.size()));
        break;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        std::int32_t number = 0;
        if (vValue.ToLong(&number)) {
            const auto value = static_cast<std::uint32_t>(number);
            BYTE bytes[4];
            std::memcpy(bytes, &value, sizeof bytes);
            status = RegSetValueEx(key.Get(), m_sValueKey, 0, REG_DWORD, bytes, sizeof bytes);
        }
        break;
    }
    default:
        status = ERROR_INVALID_DATA;
        break;
    }
    if (status != ERROR_SUCCESS) {
        Raise(kErrorSetValue, "Failed to set registry value " + location);
    }
}

Variant clsRegistry::ValueEx(std::int32_t ClassKey, const std::string& SectionKey,
                             const std::string& ValueKey, std::int32_t ValueType,
                             const Variant& Default) {
    SetClassKey(ClassKey);
    SetSectionKey(SectionKey);
    SetValueKey(ValueKey);
    SetValueType(ValueType);
    SetDefault(Default);
    return Value();
}

void clsRegistry::SetValueEx(std::int32_t ClassKey, const std::string& SectionKey,
                             const std::string& ValueKey, std::int32_t ValueType,
                             const Variant& Default, const Variant& NewValue) {
    SetClassKey(ClassKey);
    SetSectionKey(SectionKey);
    SetValueKey(ValueKey);
    SetValueType(ValueType);
    SetDefault(Default);
    if (ValueType == REG_SZ && NewValue.ToText().empty()) {
        SetValue(m_vDefault);
    } else {
        SetValue(NewValue);
    }
}

bool clsRegistry::EnumerateValues(NameList& sKeyNames, std::int32_t& iKeyCount) {
    iKeyCount = 0;
    sKeyNames.Clear();
    KeyHandle key;
    if (RegOpenKeyEx(Root(m_lClassKey), m_sSectionKey, 0, KEY_QUERY_VALUE, key.Out()) !=
        ERROR_SUCCESS) {
        return true;
    }
    DWORD longest = 0;
    if (RegQueryInfoKey(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return true;
    }
    for (DWORD i = 0;; ++i) {
        std::string name(longest + 1, '\0');
        DWORD length = longest + 1;
        if (RegEnumValue(key.Get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        ++iKeyCount;
        sKeyNames.Add(name.substr(0, length));
    }
    return true;
}

bool clsRegistry::EnumerateSections(NameList& sSect, std::int32_t& iSectCount) {
    try {
        iSectCount = 0;
        sSect.Clear();
        KeyHandle key;
        if (RegOpenKeyEx(Root(m_lClassKey), m_sSectionKey, 0, KEY_ENUMERATE_SUB_KEYS, key.Out()) !=
            ERROR_SUCCESS) {
            return true;
        }
        for (DWORD i = 0;; ++i) {
            char buffer[255] = {};
            if (RegEnumKey(key.Get(), i, buffer, sizeof buffer) != ERROR_SUCCESS) {
                break;
            }
            ++iSectCount;
            sSect.Add(std::string(buffer, strnlen(buffer, sizeof buffer)));
        }
        return true;
    } catch (const std::exception& e) {
        Raise(kErrorEnumerate, e.what());
    }
}

std::int32_t clsRegistry::ReverseByteOrder(std::int32_t lValue) {
    const auto v = static_cast<std::uint32_t>(lValue);
    return static_cast<std::int32_t>((v & 0xFFu) << 24 | (v & 0xFF00u) << 8 | (v >> 8 & 0xFF00u) |
                                     v >> 24);
}

std::string clsRegistry::ExpandEnvironmentText(const std::string& sText) {
    const DWORD needed = ExpandEnvironmentStrings(sText.c_str(), nullptr, 0);
    // A failed expansion (no size) leaves the text as it was read.
    if (needed == 0) {
        return sText;
    }
    std::string expanded(needed, '\0');
    ExpandEnvironmentStrings(sText.c_str(), expanded.data(), needed);
    expanded.resize(needed - 1);
    return expanded;
}

void clsRegistry::WriteClassesValue(const std::string& sValue) {
    SetClassKey(HKEY_CLASSES_ROOT);
    SetValue(Variant::Text(sValue));
    const std::string section = m_sSectionKey;
    SetClassKey(HKEY_LOCAL_MACHINE);
    SetSectionKey("SOFTWARE\\Classes\\" + section);
    SetValue(Variant::Text(sValue));
    SetSectionKey(section);
}

void clsRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                       const std::string& sClassDescription,
                                       const std::string& sAssociation,
                                       const std::string& sOpenMenuText, bool bSupportPrint,
                                       const std::string& sPrintMenuText, bool bSupportNew,
                                       const std::string& sNewMenuText, bool bSupportInstall,
                                       const std::string& sInstallMenuText,
                                       std::int32_t lDefaultIconIndex) {
    const std::string Q = "\"";
    std::string P = sExePath;
    P.erase(0, P.find_first_not_of(' '));
    P.erase(P.find_last_not_of(' ') + 1);
    if (!P.starts_with(Q)) {
        P = Q + P;
    }
    if (!P.ends_with(Q)) {
        P += Q;
    }

    SetSectionKey("." + sAssociation);
    SetValueType(REG_SZ);
    SetValueKey("");
    WriteClassesValue(sClassName);
    SetSectionKey(sClassName);
    WriteClassesValue(sClassDescription);

    const auto verb = [&](const std::string& name, const std::string& text,
                          const std::string& fallback, const std::string& switches) {
        SetSectionKey(sClassName + "\\shell\\" + name);
        SetValueKey("");
        WriteClassesValue(text.empty() ? fallback : text);
        SetSectionKey(sClassName + "\\shell\\" + name + "\\command");
        SetValueKey("");
        WriteClassesValue(P + switches + Q + "%1" + Q);
    };
    verb("open", sOpenMenuText, "&Open", " ");
    if (bSupportPrint) {
        verb("print", sPrintMenuText, "&Print", " /p ");
    }
    if (bSupportInstall) {
        verb("add", sInstallMenuText, "&Install " + sAssociation, " /a ");
    }
    if (bSupportNew) {
        verb("new", sNewMenuText, "&New", " /n ");
    }
    if (lDefaultIconIndex > -1) {
        SetSectionKey(sClassName + "\\DefaultIcon");
        SetValueKey("");
        WriteClassesValue(P + "," + std::to_string(lDefaultIconIndex));
    }
}

void clsRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName,
                                                  const std::vector<Variant>& vItems) {
    const std::size_t n = vItems.size();
    if (n % 3 != 0) {
        Raise(kErrorItemList, "Invalid parameter list passed to CreateAdditionalEXEAssociations - "
                              "expected Name/Text/Command");
    }
    // The class is looked for where WriteClassesValue writes it first,
    // whatever root an earlier call left behind.
    SetClassKey(HKEY_CLASSES_ROOT);
    SetSectionKey(sClassName);
    if (!KeyExists()) {
        Raise(kErrorNoClass,
              "Error - attempt to create additional associations before class defined.");
    }
    // Each step that fails is passed over; the others still run.
    const auto step = [](const auto& action) {
        try {
            action();
        } catch (const std::exception&) {
        }
    };
    for (std::size_t i = 0; i < n; i += 3) {
        step([&] { SetValueType(REG_SZ); });
        step([&] { SetSectionKey(sClassName + "\\shell\\" + vItems[i].ToText()); });
        step([&] { SetValueKey(""); });
        step([&] { WriteClassesValue(vItems[i + 1].ToText()); });
        step([&] { SetSectionKey(sClassName + "\\shell\\" + vItems[i].ToText() + "\\command"); });
        step([&] { SetValueKey(""); });
        step([&] { WriteClassesValue(vItems[i + 2].ToText()); });
    }
}
