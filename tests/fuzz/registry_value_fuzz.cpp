// clsRegistry's value reads and writes over stored values of every type and
// size, read and written as any type, the wrong ones included: each read and
// each write gives what the class's rules say, or its documented error.

#include "fuzz_support.h"
#include "platform/environment.h"
#include "platform/registry.h"
#include "registry/RegistryError.h"
#include "registry/clsRegistry.h"

#include <algorithm>
#include <cstring>
#include <optional>

using fuzz_support::Expect;
using fuzz_support::Printable;
using namespace platform;

namespace {

constexpr std::int32_t kCurrentUser = static_cast<std::int32_t>(0x80000001u);
constexpr const char* kSection = "Software\\Fuzz";
constexpr std::int32_t kErrorRegistry = 26001;
constexpr std::int32_t kErrorSetValue = static_cast<std::int32_t>(0x800469A9u);

struct Stored {
    bool present = false;
    DWORD type = 0;
    std::string data;
};

Stored Read(const std::string& name) {
    Stored stored;
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kSection, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return stored;
    }
    DWORD size = 0;
    if (RegQueryValueEx(key, name, nullptr, &stored.type, nullptr, &size) == ERROR_SUCCESS) {
        stored.data.resize(size);
        stored.present =
            RegQueryValueEx(key, name, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(stored.data.data()), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return stored;
}

void Write(const std::string& name, DWORD type, const std::string& data) {
    HKEY key = 0;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, kSection, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                       nullptr) == ERROR_SUCCESS) {
        RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                      static_cast<DWORD>(data.size()));
        RegCloseKey(key);
    }
}

void Remove(const std::string& name) {
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kSection, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValue(key, name);
        RegCloseKey(key);
    }
}

std::string Expanded(const std::string& text) {
    const std::string cut = text.substr(0, text.find('\0'));
    const DWORD needed = ExpandEnvironmentStrings(cut.c_str(), nullptr, 0);
    std::string out(needed, '\0');
    ExpandEnvironmentStrings(cut.c_str(), out.data(), needed);
    out.resize(needed - 1);
    return out;
}

std::int32_t Dword(const std::string& data) {
    std::uint8_t b[4] = {};
    std::memcpy(b, data.data(), std::min<std::size_t>(data.size(), 4));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | std::uint32_t{b[1]} << 8 |
                                     std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24);
}

// What a read of a stored value gives, by the class's table of types.
Variant Expected(const Stored& stored) {
    const std::string text =
        stored.data.substr(0, stored.data.empty() ? 0 : stored.data.size() - 1);
    switch (stored.type) {
    case REG_SZ:
    case REG_MULTI_SZ:
        return Variant::Text(text);
    case REG_EXPAND_SZ:
        return Variant::Text(Expanded(text));
    case REG_DWORD:
        return Variant::Long(Dword(stored.data));
    case REG_DWORD_BIG_ENDIAN: {
        const auto v = static_cast<std::uint32_t>(Dword(stored.data));
        return Variant::Long(
            static_cast<std::int32_t>(v << 24 | (v & 0xFF00u) << 8 | (v >> 8 & 0xFF00u) | v >> 24));
    }
    default:
        return Variant::Bytes(std::vector<std::uint8_t>(stored.data.begin(), stored.data.end()));
    }
}

// A kind (empty, 16-bit integer, 32-bit integer, text, bytes), then its value.
Variant AnyVariant(fuzz_support::Reader& input) {
    switch (input.Number<std::uint8_t>() % 5) {
    case 0:
        return {};
    case 1:
        return Variant::Integer(input.Number<std::int16_t>());
    case 2:
        return Variant::Long(input.Number<std::int32_t>());
    case 3:
        return Variant::Text(input.Text());
    default: {
        const std::string bytes = input.Text();
        return Variant::Bytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    }
}

std::string Shown(const Variant& v) {
    return Printable(v.ToText()) + (v.IsBytes() ? " (bytes)" : "");
}

// A value's name, its type, the type it is read as, then its data.
void CheckRead(fuzz_support::Reader& input) {
    const std::string name = input.Text();
    const auto type = input.Number<DWORD>();
    const auto asType = input.Number<std::int32_t>();
    const std::string data = input.Rest();
    Write(name, type, data);
    const Stored stored = Read(name);

    clsRegistry registry;
    const Variant fallback = Variant::Text("fallback");
    const Variant got = registry.ValueEx(kCurrentUser, kSection, name, asType, fallback);
    if (!stored.present) {
        Expect(got == fallback && registry.ValueType() == asType,
               "a value that is not there reads as the default, its type as asked");
    } else {
        Expect(registry.ValueType() == static_cast<std::int32_t>(stored.type),
               "a read gives the stored type");
        Expect(got == Expected(stored), "a read converts by the stored type",
               "type " + std::to_string(stored.type) + ", " + Printable(stored.data) + " -> " +
                   Shown(got));
    }
    Remove(name);
}

// A value's name, the type it is written as, the default, the value.
void CheckWrite(fuzz_support::Reader& input) {
    const std::string name = input.Text();
    const auto asType = input.Number<std::int32_t>();
    const Variant fallback = AnyVariant(input);
    const Variant value = AnyVariant(input);

    clsRegistry registry;
    std::optional<RegistryError> raised;
    try {
        registry.SetValueEx(kCurrentUser, kSection, name, asType, fallback, value);
    } catch (const RegistryError& e) {
        raised = e;
    }
    const Stored stored = Read(name);
    const Variant written = asType == REG_SZ && value.ToText().empty() ? fallback : value;
    const bool nameTaken = name.find('\0') == std::string::npos;
    std::int32_t number = 0;
    switch (asType) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        const std::string text = written.ToText();
        const auto percent = text.find('%');
        const bool expandable =
            percent != std::string::npos && text.find('%', percent + 2) != std::string::npos;
        if (!nameTaken) {
            Expect(raised && raised->Number() == kErrorSetValue && !stored.present,
                   "a name the registry refuses is an error, and nothing is written");
            break;
        }
        Expect(!raised && stored.present, "a text is written");
        Expect(stored.type == (expandable ? REG_EXPAND_SZ : REG_SZ) && stored.data == text + '\0',
               "a text is stored with its zero, expandable where it has two % signs",
               Printable(text) + " -> " + std::to_string(stored.type) + " " +
                   Printable(stored.data));
        if (!expandable) {
            Expect(registry.ValueEx(kCurrentUser, kSection, name, REG_SZ, {}) ==
                       Variant::Text(text),
                   "a text reads back the same", Printable(text));
        }
        break;
    }
    case REG_BINARY:
        if (!written.IsBytes()) {
            Expect(raised && raised->Number() == kErrorRegistry && raised->Description().empty() &&
                       !stored.present,
                   "binary data must be bytes");
        } else if (nameTaken) {
            Expect(!raised && stored.type == REG_BINARY &&
                       stored.data ==
                           std::string(written.ToBytes().begin(), written.ToBytes().end()),
                   "bytes are stored as they are");
        }
        break;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        if (!written.ToLong(&number)) {
            Expect(!raised && !stored.present, "a number that is no integer writes nothing");
        } else if (nameTaken) {
            Expect(!raised && stored.type == REG_DWORD && stored.data.size() == 4 &&
                       Dword(stored.data) == number,
                   "an integer is stored as a little-endian DWORD");
        }
        break;
    default:
        Expect(raised && raised->Number() == kErrorSetValue && !stored.present,
               "a type it cannot write is an error, and nothing is written");
        break;
    }
    Remove(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_support::Reader input(data, size);
    if (input.Number<std::uint8_t>() % 2 == 0) {
        CheckRead(input);
    } else {
        CheckWrite(input);
    }
    return 0;
}
