#include "reg_tree.h"

#include "platform/error_text.h"
#include "platform/registry.h"

#include <memory>

namespace netvigil_reg {

using namespace platform;

void Check(LONG code) {
    if (code != ERROR_SUCCESS) {
        throw Failure(ErrorText(code));
    }
}

KeyRef ParseKey(const std::string& arg) {
    if (arg.starts_with("\\\\")) {
        throw Failure(ErrorText(ERROR_BAD_NETPATH) + " Only the local store can be used.");
    }
    auto path = netvigil_reg::CanonicalKeyPath(arg);
    if (!path) {
        throw Failure("Invalid key name \"" + arg +
                      "\": it must begin with HKCR, HKCU, HKLM or HKU.");
    }
    while (path->ends_with('\\')) {
        path->pop_back();
    }
    if (const std::string problem = netvigil_reg::KeyPathProblem(*path); !problem.empty()) {
        throw Failure("Invalid key name: " + problem + ".");
    }
    static const std::pair<std::string_view, HKEY> kRoots[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKEY_USERS", HKEY_USERS}};
    const auto sep = path->find('\\');
    const std::string root = path->substr(0, sep);
    for (const auto& [name, hKey] : kRoots) {
        if (root == name) {
            return {hKey, sep == std::string::npos ? "" : path->substr(sep + 1), *path};
        }
    }
    throw Failure("Invalid key name \"" + arg + "\".");
}

Key::Key(const KeyRef& ref, REGSAM access) {
    Check(RegOpenKeyEx(ref.root, ref.sub, 0, access, &m_h));
}

Key::Key(const KeyRef& ref, REGSAM access, bool /*create*/) {
    Check(RegCreateKeyEx(ref.root, ref.sub, 0, "", REG_OPTION_NON_VOLATILE, access, nullptr, &m_h,
                         nullptr));
}

Key::Key(const Key& parent, const std::string& name, REGSAM access) {
    Check(RegOpenKeyEx(parent.Handle(), name, 0, access, &m_h));
}

Key::~Key() {
    RegCloseKey(m_h);
}

bool KeyExists(const KeyRef& ref) {
    HKEY h = 0;
    if (RegOpenKeyEx(ref.root, ref.sub, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

std::vector<RegValue> ReadValues(const Key& key) {
    DWORD maxName = 0;
    DWORD maxData = 0;
    Check(RegQueryInfoKey(key.Handle(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, &maxName, &maxData, nullptr, nullptr));
    std::vector<RegValue> values;
    for (DWORD i = 0;; ++i) {
        RegValue value;
        value.name.assign(maxName + 1, '\0');
        value.data.assign(maxData, '\0');
        DWORD nameLen = maxName + 1;
        DWORD dataLen = maxData;
        const LONG status =
            RegEnumValue(key.Handle(), i, value.name.data(), &nameLen, nullptr, &value.type,
                         reinterpret_cast<BYTE*>(value.data.data()), &dataLen);
        if (status == ERROR_NO_MORE_ITEMS) {
            return values;
        }
        Check(status);
        value.name.resize(nameLen);
        value.data.resize(dataLen);
        values.push_back(std::move(value));
    }
}

std::vector<std::string> ReadSubkeys(const Key& key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        const LONG status = RegEnumKey(key.Handle(), i, name, sizeof name);
        if (status == ERROR_NO_MORE_ITEMS) {
            return names;
        }
        Check(status);
        names.emplace_back(name);
    }
}

// Every key of the tree at top, each opened below its parent so that a key
// costs the same at any depth, without recursion, since a store changed
// behind our back may be deeper than any stack. enter sees a key before its
// subkeys, with its path; leave sees it after them, by its parent and name
// (the top by none).
void WalkTree(const KeyRef& top, REGSAM access,
              const std::function<void(const Key&, const std::string& path)>& enter,
              const std::function<void(const Key* parent, const std::string& name)>& leave) {
    struct Frame {
        std::unique_ptr<Key> key;
        std::string name;
        std::string path;
        std::vector<std::string> children;
        std::size_t next = 0;
    };
    std::vector<Frame> stack;
    const auto push = [&](std::unique_ptr<Key> key, std::string name, std::string path) {
        enter(*key, path);
        std::vector<std::string> children = ReadSubkeys(*key);
        stack.push_back({std::move(key), std::move(name), std::move(path), std::move(children)});
    };
    push(std::make_unique<Key>(top, access | KEY_ENUMERATE_SUB_KEYS), {}, top.path);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.children.size()) {
            std::string name = frame.children[frame.next++];
            auto child = std::make_unique<Key>(*frame.key, name, access | KEY_ENUMERATE_SUB_KEYS);
            std::string path = frame.path + "\\" + name;
            push(std::move(child), std::move(name), std::move(path));
            continue;
        }
        const std::string name = std::move(frame.name);
        stack.pop_back();
        if (leave) {
            leave(stack.empty() ? nullptr : stack.back().key.get(), name);
        }
    }
}

void DeleteTree(const KeyRef& ref) {
    WalkTree(
        ref, KEY_QUERY_VALUE, [](const Key&, const std::string&) {},
        [&](const Key* parent, const std::string& name) {
            Check(parent != nullptr ? RegDeleteKey(parent->Handle(), name)
                                    : RegDeleteKey(ref.root, ref.sub));
        });
}

std::vector<RegKeyBlock> ReadTree(const KeyRef& top) {
    std::vector<RegKeyBlock> blocks;
    WalkTree(
        top, KEY_QUERY_VALUE,
        [&](const Key& key, const std::string& path) {
            blocks.push_back({path, false, ReadValues(key), 0});
        },
        nullptr);
    return blocks;
}

std::optional<ParseError> ImportFile(const RegFile& file) {
    int line = 0;
    try {
        for (const RegKeyBlock& block : file.keys) {
            line = block.line;
            const KeyRef ref = ParseKey(block.path);
            // A root takes values as any key does (an export of a whole root
            // begins with its block), but it is never deleted.
            if (ref.sub.empty() && block.remove) {
                throw Failure("a root key cannot be deleted.");
            }
            if (block.remove) {
                if (KeyExists(ref)) {
                    DeleteTree(ref);
                }
                continue;
            }
            const Key key(ref, KEY_SET_VALUE, true);
            for (const RegValue& value : block.values) {
                line = value.line;
                if (value.remove) {
                    const LONG status = RegDeleteValue(key.Handle(), value.name);
                    Check(status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status);
                } else {
                    Check(RegSetValueEx(key.Handle(), value.name, 0, value.type,
                                        reinterpret_cast<const BYTE*>(value.data.data()),
                                        static_cast<DWORD>(value.data.size())));
                }
            }
        }
    } catch (const Failure& failure) {
        return ParseError{line, failure.Message()};
    }
    return std::nullopt;
}

} // namespace netvigil_reg
