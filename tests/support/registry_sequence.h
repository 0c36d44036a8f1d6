#pragma once

// Seeded, reproducible sequences of registry operations, and what each step
// gives on a registry, as one line: the differential tests run a sequence on
// two registries and compare the lines step by step.

#include "platform/win32_types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace registry_sequence {

using platform::BYTE;
using platform::DWORD;
using platform::HKEY;
using platform::LONG;
using platform::REGSAM;

// Full: anything the registry functions take. Portable: only what Windows
// (and Wine) answer as the store does, so that outcomes recorded from the
// store can be replayed there: no key created below a handle without the
// right to, no empty level in a path, no name past the limits, and string
// data as text with its terminator.
enum class Profile { Full, Portable };

enum class Op {
    Open,
    Create,
    Close,
    CloseTwice,
    SetValue,
    QueryValue,
    DeleteValue,
    DeleteKey,
    EnumKeys,
    EnumKeyAt,
    EnumValues,
    EnumValueAt,
    QueryInfo
};

// How a value is asked for: its size only; then with a buffer one byte short,
// exact, or larger; with a buffer and no size; its type only.
enum class Query { SizeOnly, Short, Exact, Larger, NoSize, TypeOnly };

// Handles live in numbered slots; a negative number names a root instead.
constexpr int kSlots = 6;
constexpr int kCurrentUser = -1;
constexpr int kLocalMachine = -2;

struct Step {
    Op op = Op::Open;
    int from = kCurrentUser; // the handle acted on, or below
    int slot = 0;            // where a new handle goes
    std::string path;
    REGSAM access = 0;
    std::string name;
    DWORD type = 0;
    std::string data;
    Query query = Query::SizeOnly;
    DWORD index = 0;
    bool shortBuffer = false; // a name buffer one short of the terminator
};

std::vector<Step> Generate(std::uint64_t seed, std::size_t steps, Profile profile);
std::string Describe(const Step& step);

// The registry a sequence runs on.
class Registry {
public:
    struct Info {
        DWORD subKeys = 0;
        DWORD maxSubKeyLen = 0;
        DWORD values = 0;
        DWORD maxValueNameLen = 0;
        DWORD maxValueLen = 0;
    };
    virtual ~Registry() = default;
    virtual LONG OpenKey(HKEY hKey, const char* sub, REGSAM sam, HKEY* out) = 0;
    virtual LONG CreateKey(HKEY hKey, const char* sub, REGSAM sam, HKEY* out,
                           DWORD* disposition) = 0;
    virtual LONG CloseKey(HKEY hKey) = 0;
    virtual LONG QueryValue(HKEY hKey, const char* name, DWORD* type, BYTE* data, DWORD* size) = 0;
    virtual LONG SetValue(HKEY hKey, const char* name, DWORD type, const BYTE* data,
                          DWORD size) = 0;
    virtual LONG DeleteKey(HKEY hKey, const char* sub) = 0;
    virtual LONG DeleteValue(HKEY hKey, const char* name) = 0;
    virtual LONG EnumKey(HKEY hKey, DWORD index, char* name, DWORD room) = 0;
    virtual LONG EnumValue(HKEY hKey, DWORD index, char* name, DWORD* nameRoom, DWORD* type,
                           BYTE* data, DWORD* size) = 0;
    virtual LONG QueryInfo(HKEY hKey, Info* info) = 0;
};

// The program's registry functions: its backend's registry.
std::unique_ptr<Registry> Functions();

// Runs steps on one registry, its handles kept in slots.
class Runner {
public:
    explicit Runner(Registry& registry) : m_registry(registry) {}
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Result codes, dispositions, types, sizes, a digest of the bytes, names
    // in the order handed out: all that the step gave, as one line.
    std::string Apply(const Step& step);

private:
    HKEY Handle(int from) const;
    void Put(int slot, HKEY handle);

    Registry& m_registry;
    HKEY m_slots[kSlots] = {};
};

// Two registries to compare, emptied before each run of a sequence.
class Pair {
public:
    virtual ~Pair() = default;
    virtual void Fresh() = 0;
    virtual Registry& First() = 0;
    virtual Registry& Second() = 0;
};

struct Mismatch {
    std::size_t step; // its index
    std::string first;
    std::string second;
};

// The first step after which the two answered differently.
std::optional<Mismatch> FirstMismatch(Pair& pair, const std::vector<Step>& steps);

// What to show of a failing sequence: its seed, and its shortest failing
// prefix found (up to the first mismatch, without the steps that it fails
// without), each step with what the two registries gave.
std::string Explain(Pair& pair, std::uint64_t seed, const std::vector<Step>& steps);

} // namespace registry_sequence
