#pragma once

// What netvigil-reg does to the registry, over the registry functions alone:
// keys named by their text paths, trees walked, read and deleted, a parsed
// file carried out. So a test or a fuzzer can run it on any store.

#include "platform/win32_types.h"
#include "reg_file.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace netvigil_reg {

// A failure, with the text to show for it.
class Failure {
public:
    explicit Failure(std::string message) : m_message(std::move(message)) {}
    const std::string& Message() const { return m_message; }

private:
    std::string m_message;
};

// Throws the Failure of a code other than ERROR_SUCCESS.
void Check(platform::LONG code);

struct KeyRef {
    platform::HKEY root;
    std::string sub;
    std::string path; // as shown: full root name and subkey
};

// ROOT\SUBKEY with ROOT short or in full; throws Failure for anything else.
KeyRef ParseKey(const std::string& arg);

// An open key, closed at the end of its scope; opening throws Failure.
class Key {
public:
    Key(const KeyRef& ref, platform::REGSAM access);
    // Creates the key, and the levels above it, where they are missing.
    Key(const KeyRef& ref, platform::REGSAM access, bool create);
    Key(const Key& parent, const std::string& name, platform::REGSAM access);
    ~Key();
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    platform::HKEY Handle() const { return m_h; }

private:
    platform::HKEY m_h = 0;
};

bool KeyExists(const KeyRef& ref);
std::vector<RegValue> ReadValues(const Key& key);
std::vector<std::string> ReadSubkeys(const Key& key);

// Every key of the tree at top. enter sees a key before its subkeys, with its
// path; leave sees it after them, by its parent and name (the top by none).
void WalkTree(const KeyRef& top, platform::REGSAM access,
              const std::function<void(const Key&, const std::string& path)>& enter,
              const std::function<void(const Key* parent, const std::string& name)>& leave);
void DeleteTree(const KeyRef& ref);

// The tree at top with its values, each key before its subkeys: what export
// writes.
std::vector<RegKeyBlock> ReadTree(const KeyRef& top);

// Carries out a parsed file in order. The line that could not be carried out,
// and why; what came before it stays written, so the caller makes the whole
// import one transaction.
std::optional<ParseError> ImportFile(const RegFile& file);

} // namespace netvigil_reg
