#include "registry_sequence.h"

#include "platform/registry.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <string_view>
#include <vector>

namespace registry_sequence {

using namespace platform;

namespace {

// Names in two spellings whose characters pair up, so that any mix of the
// two is the same name to the registry.
struct Spelling {
    const char* lower;
    const char* upper;
};
const Spelling kKeyNames[] = {{"software", "SOFTWARE"},
                              {"netvigil", "NETVIGIL"},
                              {"settings", "SETTINGS"},
                              {"remote hosts", "REMOTE HOSTS"},
                              {"a", "A"},
                              {"b", "B"},
                              {"zeta", "ZETA"},
                              {"ärger", "ÄRGER"},
                              {"ключ", "КЛЮЧ"}};
const Spelling kValueNames[] = {{"", ""},
                                {"value", "VALUE"},
                                {"host 1", "HOST 1"},
                                {"ip address 1", "IP ADDRESS 1"},
                                {"backcolor", "BACKCOLOR"},
                                {"ärger", "ÄRGER"},
                                {"x", "X"}};
const char* const kTexts[] = {
    "C:\\Program Files", "%HOME%\\x", "Grüße", "世界", "a b", "", "50%", "é"};
const DWORD kTypes[] = {REG_NONE,   REG_SZ,       REG_EXPAND_SZ,
                        REG_BINARY, REG_DWORD,    REG_DWORD_BIG_ENDIAN,
                        REG_LINK,   REG_MULTI_SZ, REG_QWORD};
const REGSAM kAccess[] = {KEY_READ,
                          KEY_WRITE,
                          KEY_ALL_ACCESS,
                          KEY_QUERY_VALUE,
                          KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                          KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE};

// The operations, each as often as its weight says.
const std::pair<Op, int> kOps[] = {{Op::Open, 12},       {Op::Create, 14},    {Op::Close, 6},
                                   {Op::CloseTwice, 2},  {Op::SetValue, 20},  {Op::QueryValue, 14},
                                   {Op::DeleteValue, 6}, {Op::DeleteKey, 8},  {Op::EnumKeys, 4},
                                   {Op::EnumKeyAt, 4},   {Op::EnumValues, 4}, {Op::EnumValueAt, 3},
                                   {Op::QueryInfo, 3}};

std::size_t CharacterLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

class Generator {
public:
    Generator(std::uint64_t seed, Profile profile) : m_rng(seed), m_profile(profile) {}

    Step Next() {
        Step step;
        step.op = PickOp();
        switch (step.op) {
        case Op::Open:
        case Op::Create:
            step.from = Parent(step.op == Op::Create);
            step.slot = static_cast<int>(Draw(kSlots));
            step.path = Path(step.from, step.op == Op::Create);
            step.access = kAccess[Draw(std::size(kAccess))];
            m_access[step.slot] = step.access;
            break;
        case Op::Close:
        case Op::CloseTwice:
            step.from = Opened();
            m_access[step.from] = 0;
            break;
        case Op::DeleteKey:
            step.from = Parent(false);
            step.path = Path(step.from, false);
            // A test on Windows has its roots pointed at keys of its own,
            // which delete as any key does; a real root never does.
            if (!Full() && step.from < 0 && step.path.empty()) {
                step.path = Mixed(kKeyNames[Draw(std::size(kKeyNames))]);
            }
            break;
        default:
            step.from = Chance(8) ? Root() : Opened();
            step.name = ValueName();
            step.type = Type();
            step.data = Data(step.type);
            step.query = static_cast<Query>(Draw(6));
            step.index = static_cast<DWORD>(Draw(4));
            step.shortBuffer = Chance(3);
            break;
        }
        return step;
    }

private:
    std::uint64_t Draw(std::uint64_t n) { return m_rng() % n; }
    bool Chance(std::uint64_t oneIn) { return Draw(oneIn) == 0; }
    bool Full() const { return m_profile == Profile::Full; }

    Op PickOp() {
        int total = 0;
        for (const auto& [op, weight] : kOps) {
            total += weight;
        }
        auto at = static_cast<int>(Draw(static_cast<std::uint64_t>(total)));
        for (const auto& [op, weight] : kOps) {
            if (at < weight) {
                return op;
            }
            at -= weight;
        }
        return Op::Open;
    }

    int Root() { return Chance(5) ? kLocalMachine : kCurrentUser; }

    // Mostly a slot that a handle was put in (if its open succeeded), now
    // and then any.
    int Opened() {
        int open[kSlots];
        std::size_t count = 0;
        for (int slot = 0; slot < kSlots; ++slot) {
            if (m_access[slot] != 0) {
                open[count++] = slot;
            }
        }
        return count == 0 || Chance(10) ? static_cast<int>(Draw(kSlots)) : open[Draw(count)];
    }

    // A root now and then, else a slot; a key is created only below a handle
    // with the right to, where Wine would create it anyway.
    int Parent(bool creating) {
        if (Chance(3)) {
            return Root();
        }
        const int slot = Opened();
        if (creating && !Full() && (m_access[slot] & KEY_CREATE_SUB_KEY) == 0) {
            return Root();
        }
        return slot;
    }

    std::string Mixed(const Spelling& spelling) {
        const std::string lower = spelling.lower;
        const std::string upper = spelling.upper;
        std::string out;
        for (std::size_t i = 0; i < lower.size();) {
            const std::size_t n = CharacterLength(static_cast<unsigned char>(lower[i]));
            out += (Chance(2) ? lower : upper).substr(i, n);
            i += n;
        }
        return out;
    }

    // A path of names at random depths; from a root, mostly one made
    // before (or a part of one), so that opens and deletes find keys.
    std::string Path(int from, bool creating) {
        std::vector<std::size_t> levels;
        auto& known = m_known[from == kLocalMachine ? 1 : 0];
        if (from < 0 && !creating && !known.empty() && !Chance(3)) {
            levels = known[Draw(known.size())];
            levels.resize(Draw(levels.size()) + 1);
        } else {
            const std::uint64_t roll = Draw(20);
            const std::size_t depth = roll < 2    ? 0
                                      : roll < 9  ? 1
                                      : roll < 15 ? 2
                                      : roll < 18 ? 3
                                                  : 4;
            for (std::size_t level = 0; level < depth; ++level) {
                levels.push_back(Draw(std::size(kKeyNames)));
            }
            if (from < 0 && creating && !levels.empty()) {
                known.push_back(levels);
            }
        }
        std::string path;
        for (std::size_t level = 0; level < levels.size(); ++level) {
            if (level > 0) {
                path += Full() && Chance(40) ? "\\\\" : "\\";
            }
            path += Full() && Chance(60) ? std::string(256, 'k') : Mixed(kKeyNames[levels[level]]);
        }
        if (!path.empty() && Chance(10)) {
            path += '\\';
        }
        if (Full() && Chance(80)) {
            path.insert(0, "\\");
        }
        return path;
    }

    std::string ValueName() {
        if (Full() && Chance(100)) {
            return std::string(kMaxValueNameLength + 1, 'n');
        }
        return Mixed(kValueNames[Draw(std::size(kValueNames))]);
    }

    DWORD Type() {
        if (Chance(12)) {
            return Chance(3) ? 0xFFFFFFFFu : static_cast<DWORD>(Draw(16));
        }
        return kTypes[Draw(std::size(kTypes))];
    }

    std::string Bytes(std::size_t count) {
        std::string bytes(count, '\0');
        for (char& b : bytes) {
            b = static_cast<char>(Draw(256));
        }
        return bytes;
    }

    std::string Data(DWORD type) {
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            if (Full() && Chance(3)) {
                return Bytes(Draw(24));
            }
            std::string text;
            const auto parts = type == REG_MULTI_SZ ? Draw(4) : 1;
            for (std::uint64_t i = 0; i < parts; ++i) {
                text += kTexts[Draw(std::size(kTexts))];
                if (type == REG_MULTI_SZ) {
                    text += '\0';
                }
            }
            text += '\0';
            if (Full() && Chance(4)) {
                text.pop_back();
            }
            return text;
        }
        if (Chance(50)) {
            return Bytes(2000 + Draw(3000));
        }
        return Bytes(Chance(8) ? 17 + Draw(600) : Draw(17));
    }

    std::mt19937_64 m_rng;
    Profile m_profile;
    REGSAM m_access[kSlots] = {};
    // The paths created below each root, as names' places in kKeyNames.
    std::vector<std::vector<std::size_t>> m_known[2];
};

std::string Code(LONG code) {
    return std::to_string(code);
}

// A name as a line shows it: the separators and what is not printable escaped.
std::string Shown(std::string_view name) {
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '\\' || c == '|' || c == '/' || c == ';' || c == ' ') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return name.size() > 40 ? out.substr(0, 40) + "...(" + std::to_string(name.size()) + ")" : out;
}

std::string Digest(const BYTE* data, DWORD size) {
    std::uint32_t hash = 2166136261u;
    for (DWORD i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    char hex[12];
    std::snprintf(hex, sizeof hex, "#%08x", hash);
    return hex;
}

const char* const kOpNames[] = {"open",      "create",      "close",        "close twice",
                                "set",       "query",       "delete value", "delete key",
                                "enum keys", "enum key at", "enum values",  "enum value at",
                                "query info"};
const char* const kQueryNames[] = {"size only", "short", "exact", "larger", "no size", "type only"};

std::string Where(int from) {
    return from == kCurrentUser    ? "HKCU"
           : from == kLocalMachine ? "HKLM"
                                   : "slot " + std::to_string(from);
}

class FunctionsRegistry final : public Registry {
public:
    LONG OpenKey(HKEY hKey, const char* sub, REGSAM sam, HKEY* out) override {
        return RegOpenKeyEx(hKey, sub, 0, sam, out);
    }
    LONG CreateKey(HKEY hKey, const char* sub, REGSAM sam, HKEY* out, DWORD* disposition) override {
        return RegCreateKeyEx(hKey, sub, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, out,
                              disposition);
    }
    LONG CloseKey(HKEY hKey) override { return RegCloseKey(hKey); }
    LONG QueryValue(HKEY hKey, const char* name, DWORD* type, BYTE* data, DWORD* size) override {
        return RegQueryValueEx(hKey, name, nullptr, type, data, size);
    }
    LONG SetValue(HKEY hKey, const char* name, DWORD type, const BYTE* data, DWORD size) override {
        return RegSetValueEx(hKey, name, 0, type, data, size);
    }
    LONG DeleteKey(HKEY hKey, const char* sub) override { return RegDeleteKey(hKey, sub); }
    LONG DeleteValue(HKEY hKey, const char* name) override { return RegDeleteValue(hKey, name); }
    LONG EnumKey(HKEY hKey, DWORD index, char* name, DWORD room) override {
        return RegEnumKey(hKey, index, name, room);
    }
    LONG EnumValue(HKEY hKey, DWORD index, char* name, DWORD* nameRoom, DWORD* type, BYTE* data,
                   DWORD* size) override {
        return RegEnumValue(hKey, index, name, nameRoom, nullptr, type, data, size);
    }
    LONG QueryInfo(HKEY hKey, Info* info) override {
        return RegQueryInfoKey(hKey, nullptr, nullptr, nullptr, &info->subKeys, &info->maxSubKeyLen,
                               nullptr, &info->values, &info->maxValueNameLen, &info->maxValueLen,
                               nullptr, nullptr);
    }
};

} // namespace

std::vector<Step> Generate(std::uint64_t seed, std::size_t steps, Profile profile) {
    Generator generator(seed, profile);
    std::vector<Step> sequence;
    sequence.reserve(steps);
    for (std::size_t i = 0; i < steps; ++i) {
        sequence.push_back(generator.Next());
    }
    return sequence;
}

std::string Describe(const Step& step) {
    std::string out = std::string(kOpNames[static_cast<int>(step.op)]) + " " + Where(step.from);
    switch (step.op) {
    case Op::Open:
    case Op::Create:
        return out + " \"" + Shown(step.path) + "\" access " + std::to_string(step.access) +
               " -> slot " + std::to_string(step.slot);
    case Op::DeleteKey:
        return out + " \"" + Shown(step.path) + "\"";
    case Op::Close:
    case Op::CloseTwice:
    case Op::EnumKeys:
    case Op::EnumValues:
    case Op::QueryInfo:
        return out;
    case Op::SetValue:
        return out + " \"" + Shown(step.name) + "\" type " + std::to_string(step.type) + ", " +
               std::to_string(step.data.size()) + " bytes " +
               Digest(reinterpret_cast<const BYTE*>(step.data.data()),
                      static_cast<DWORD>(step.data.size()));
    case Op::QueryValue:
        return out + " \"" + Shown(step.name) + "\" " + kQueryNames[static_cast<int>(step.query)];
    case Op::DeleteValue:
        return out + " \"" + Shown(step.name) + "\"";
    case Op::EnumKeyAt:
    case Op::EnumValueAt:
        return out + " index " + std::to_string(step.index) +
               (step.shortBuffer ? ", then one short" : "");
    }
    return out;
}

std::unique_ptr<Registry> Functions() {
    return std::make_unique<FunctionsRegistry>();
}

Runner::~Runner() {
    for (HKEY& handle : m_slots) {
        Put(static_cast<int>(&handle - m_slots), 0);
    }
}

HKEY Runner::Handle(int from) const {
    return from == kCurrentUser    ? HKEY_CURRENT_USER
           : from == kLocalMachine ? HKEY_LOCAL_MACHINE
                                   : m_slots[from];
}

void Runner::Put(int slot, HKEY handle) {
    if (m_slots[slot] != 0) {
        m_registry.CloseKey(m_slots[slot]);
    }
    m_slots[slot] = handle;
}

std::string Runner::Apply(const Step& step) {
    const HKEY key = Handle(step.from);
    const char* name = step.name.c_str();
    switch (step.op) {
    case Op::Open: {
        HKEY opened = 0;
        const LONG r = m_registry.OpenKey(key, step.path.c_str(), step.access, &opened);
        Put(step.slot, r == ERROR_SUCCESS ? opened : 0);
        return Code(r);
    }
    case Op::Create: {
        HKEY created = 0;
        DWORD disposition = 0;
        const LONG r =
            m_registry.CreateKey(key, step.path.c_str(), step.access, &created, &disposition);
        Put(step.slot, r == ERROR_SUCCESS ? created : 0);
        return r == ERROR_SUCCESS ? "0 d" + std::to_string(disposition) : Code(r);
    }
    case Op::Close:
    case Op::CloseTwice: {
        std::string out = Code(m_registry.CloseKey(key));
        if (step.op == Op::CloseTwice) {
            out += " " + Code(m_registry.CloseKey(key));
        }
        m_slots[step.from] = 0;
        return out;
    }
    case Op::SetValue:
        return Code(m_registry.SetValue(key, name, step.type,
                                        reinterpret_cast<const BYTE*>(step.data.data()),
                                        static_cast<DWORD>(step.data.size())));
    case Op::DeleteValue:
        return Code(m_registry.DeleteValue(key, name));
    case Op::DeleteKey:
        return Code(m_registry.DeleteKey(key, step.path.c_str()));
    case Op::QueryValue: {
        DWORD type = 0;
        DWORD size = 0;
        BYTE small[8] = {};
        switch (step.query) {
        case Query::TypeOnly:
            return Code(m_registry.QueryValue(key, name, &type, nullptr, nullptr)) + " t" +
                   std::to_string(type);
        case Query::NoSize:
            return Code(m_registry.QueryValue(key, name, &type, small, nullptr));
        default:
            break;
        }
        const LONG r = m_registry.QueryValue(key, name, &type, nullptr, &size);
        std::string out = Code(r) + " t" + std::to_string(type) + " s" + std::to_string(size);
        if (r != ERROR_SUCCESS || step.query == Query::SizeOnly) {
            return out;
        }
        DWORD room = step.query == Query::Larger              ? size + 7
                     : step.query == Query::Short && size > 0 ? size - 1
                                                              : size;
        std::vector<BYTE> data(room + 1);
        type = 0;
        const LONG again = m_registry.QueryValue(key, name, &type, data.data(), &room);
        out += " | " + Code(again) + " t" + std::to_string(type) + " s" + std::to_string(room);
        return again == ERROR_SUCCESS ? out + " " + Digest(data.data(), room) : out;
    }
    case Op::EnumKeys: {
        std::string out = "keys";
        for (DWORD i = 0;; ++i) {
            char found[300] = {};
            const LONG r = m_registry.EnumKey(key, i, found, sizeof found);
            if (r != ERROR_SUCCESS) {
                return out + " " + Code(r);
            }
            out += (i == 0 ? " " : "|") + Shown(found);
        }
    }
    case Op::EnumKeyAt: {
        char found[300] = {};
        const LONG r = m_registry.EnumKey(key, step.index, found, sizeof found);
        std::string out = Code(r);
        if (r != ERROR_SUCCESS) {
            return out;
        }
        out += " " + Shown(found);
        if (step.shortBuffer) {
            const DWORD length = static_cast<DWORD>(std::string_view(found).size());
            std::vector<char> tight(length + 1);
            out += " " + Code(m_registry.EnumKey(key, step.index, tight.data(), length));
        }
        return out;
    }
    case Op::EnumValues: {
        Registry::Info info;
        const LONG status = m_registry.QueryInfo(key, &info);
        if (status != ERROR_SUCCESS) {
            return "info " + Code(status);
        }
        std::string out = "values";
        for (DWORD i = 0;; ++i) {
            std::vector<char> found(info.maxValueNameLen + 1);
            std::vector<BYTE> data(info.maxValueLen + 1);
            DWORD nameRoom = info.maxValueNameLen + 1;
            DWORD size = info.maxValueLen;
            DWORD type = 0;
            const LONG r =
                m_registry.EnumValue(key, i, found.data(), &nameRoom, &type, data.data(), &size);
            if (r != ERROR_SUCCESS) {
                return out + " " + Code(r);
            }
            out += (i == 0 ? " " : ";") + Shown(std::string_view(found.data(), nameRoom)) + "/" +
                   std::to_string(type) + "/" + std::to_string(size) + "/" +
                   Digest(data.data(), size);
        }
    }
    case Op::EnumValueAt: {
        std::vector<char> found(kMaxValueNameLength + 1);
        std::vector<BYTE> data(8192);
        DWORD nameRoom = static_cast<DWORD>(found.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG r = m_registry.EnumValue(key, step.index, found.data(), &nameRoom, &type,
                                            data.data(), &size);
        std::string out = Code(r);
        if (r != ERROR_SUCCESS) {
            return out;
        }
        out += " " + Shown(std::string_view(found.data(), nameRoom)) + "/" + std::to_string(type) +
               "/" + std::to_string(size) + "/" + Digest(data.data(), size);
        if (step.shortBuffer) {
            DWORD tight = nameRoom;
            out += " " + Code(m_registry.EnumValue(key, step.index, found.data(), &tight, nullptr,
                                                   nullptr, nullptr));
        }
        return out;
    }
    case Op::QueryInfo: {
        Registry::Info info;
        const LONG r = m_registry.QueryInfo(key, &info);
        if (r != ERROR_SUCCESS) {
            return Code(r);
        }
        return "0 k" + std::to_string(info.subKeys) + "/" + std::to_string(info.maxSubKeyLen) +
               " v" + std::to_string(info.values) + "/" + std::to_string(info.maxValueNameLen) +
               "/" + std::to_string(info.maxValueLen);
    }
    }
    return "?";
}

std::optional<Mismatch> FirstMismatch(Pair& pair, const std::vector<Step>& steps) {
    pair.Fresh();
    Runner first(pair.First());
    Runner second(pair.Second());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::string a = first.Apply(steps[i]);
        std::string b = second.Apply(steps[i]);
        if (a != b) {
            return Mismatch{i, std::move(a), std::move(b)};
        }
    }
    return std::nullopt;
}

std::string Explain(Pair& pair, std::uint64_t seed, const std::vector<Step>& steps) {
    const auto mismatch = FirstMismatch(pair, steps);
    if (!mismatch) {
        return "seed " + std::to_string(seed) + ": no difference on a second run";
    }
    std::vector<Step> prefix(steps.begin(),
                             steps.begin() + static_cast<std::ptrdiff_t>(mismatch->step) + 1);
    // Each step before the last that the difference shows without goes.
    for (std::size_t i = prefix.size() - 1; i-- > 0;) {
        std::vector<Step> shorter = prefix;
        shorter.erase(shorter.begin() + static_cast<std::ptrdiff_t>(i));
        if (const auto still = FirstMismatch(pair, shorter)) {
            shorter.resize(still->step + 1);
            prefix = std::move(shorter);
            i = std::min(i, prefix.size() - 1);
        }
    }
    std::string out = "seed " + std::to_string(seed) + ": first difference at step " +
                      std::to_string(mismatch->step) + "; shortest failing prefix found, " +
                      std::to_string(prefix.size()) + " steps:\n";
    pair.Fresh();
    Runner first(pair.First());
    Runner second(pair.Second());
    for (const Step& step : prefix) {
        const std::string a = first.Apply(step);
        const std::string b = second.Apply(step);
        out += "  " + Describe(step) + "\n      " + a + (a == b ? "" : "\n   vs " + b) + "\n";
    }
    return out;
}

} // namespace registry_sequence
