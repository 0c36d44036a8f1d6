// netvigil-reg: reads and writes Netvigil's registry store from the command
// line, in the manner of the Windows "reg" command.

#include "Program.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/user_registry.h"
#include "reg_file.h"
#include "reg_tree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace platform;
using namespace netvigil_reg;

namespace {

constexpr const char* kUsage = R"(netvigil-reg: reads and writes Netvigil's registry store.

  netvigil-reg query KEY [/v NAME | /ve] [/s]
  netvigil-reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
  netvigil-reg delete KEY [/v NAME | /ve | /va] [/f]
  netvigil-reg export KEY FILE [/y]
  netvigil-reg import FILE

KEY is ROOT\SUBKEY, with ROOT one of HKCR, HKCU, HKLM, HKU or their full names.
TYPE is REG_SZ (the default), REG_EXPAND_SZ, REG_DWORD, REG_BINARY or
REG_MULTI_SZ. DATA of a REG_DWORD is decimal or 0x-prefixed hex; of a
REG_BINARY, hex digits; of a REG_MULTI_SZ, strings separated by \0.
/f and /y answer yes to the question before an overwrite or a delete.
)";

std::string TypeName(DWORD type) {
    static const char* const kNames[] = {"REG_NONE",
                                         "REG_SZ",
                                         "REG_EXPAND_SZ",
                                         "REG_BINARY",
                                         "REG_DWORD",
                                         "REG_DWORD_BIG_ENDIAN",
                                         "REG_LINK",
                                         "REG_MULTI_SZ",
                                         "REG_RESOURCE_LIST",
                                         "REG_FULL_RESOURCE_DESCRIPTOR",
                                         "REG_RESOURCE_REQUIREMENTS_LIST",
                                         "REG_QWORD"};
    return type < std::size(kNames) ? kNames[type] : "REG_0x" + std::to_string(type);
}

std::string Shown(const RegValue& value) {
    const std::string& d = value.data;
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return d.substr(0, d.find('\0'));
    case REG_MULTI_SZ: {
        std::string text = d;
        while (!text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        std::string out;
        for (const char c : text) {
            out += c == '\0' ? std::string("\\0") : std::string(1, c);
        }
        return out;
    }
    case REG_DWORD:
    case REG_QWORD:
        if (d.size() == (value.type == REG_DWORD ? 4u : 8u)) {
            unsigned long long n = 0;
            for (std::size_t i = d.size(); i-- > 0;) {
                n = n << 8 | static_cast<unsigned char>(d[i]);
            }
            char buf[24];
            std::snprintf(buf, sizeof buf, "0x%llx", n);
            return buf;
        }
        [[fallthrough]];
    default: {
        std::string out;
        char buf[3];
        for (const char c : d) {
            std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(c));
            out += buf;
        }
        return out;
    }
    }
}

struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> valueName; // /v NAME, or "" for /ve
    bool allValues = false;               // /va
    bool recurse = false;                 // /s
    bool force = false;                   // /f or /y
    std::optional<std::string> type;
    std::optional<std::string> data;
};

Options ParseOptions(const std::vector<std::string>& args, std::string_view allowed) {
    Options o;
    const auto operand = [&](std::size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) {
            throw Failure("Invalid syntax: " + args[i] + " needs a value.");
        }
        return args[++i];
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string flag = args[i];
        if (flag.size() < 2 || (flag[0] != '/' && flag[0] != '-') || flag.size() > 3) {
            o.positional.push_back(args[i]);
            continue;
        }
        for (char& c : flag) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        flag = flag.substr(1);
        if (allowed.find(" " + flag + " ") == std::string_view::npos) {
            throw Failure("Invalid syntax: /" + flag + " is not an option of " + args[0] + ".");
        }
        if (flag == "v") {
            o.valueName = operand(i);
        } else if (flag == "ve") {
            o.valueName = "";
        } else if (flag == "va") {
            o.allValues = true;
        } else if (flag == "s") {
            o.recurse = true;
        } else if (flag == "f" || flag == "y") {
            o.force = true;
        } else if (flag == "t") {
            o.type = operand(i);
        } else if (flag == "d") {
            o.data = operand(i);
        }
    }
    return o;
}

bool Confirm(const std::string& question) {
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::cout << '\n';
        return false;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

std::string DisplayName(const std::string& name) {
    return name.empty() ? "(Default)" : name;
}

void PrintValue(const RegValue& value) {
    std::cout << "    " << DisplayName(value.name) << "    " << TypeName(value.type) << "    "
              << Shown(value) << '\n';
}

int Query(const Options& o) {
    if (o.positional.size() != 1) {
        throw Failure("Invalid syntax: query takes one KEY.");
    }
    const KeyRef top = ParseKey(o.positional[0]);
    const UserRegistrySnapshot snapshot;
    int matches = 0;
    const auto show = [&](const Key& key, const std::string& path) {
        std::vector<RegValue> values = ReadValues(key);
        if (o.valueName) {
            std::erase_if(values, [&](const RegValue& v) {
                return !std::equal(v.name.begin(), v.name.end(), o.valueName->begin(),
                                   o.valueName->end(), [](char a, char b) {
                                       return std::tolower(static_cast<unsigned char>(a)) ==
                                              std::tolower(static_cast<unsigned char>(b));
                                   });
            });
        }
        if (!o.valueName || !values.empty()) {
            std::cout << '\n' << path << '\n';
            for (const RegValue& value : values) {
                PrintValue(value);
            }
        }
        matches += static_cast<int>(values.size());
    };
    if (o.recurse) {
        WalkTree(top, KEY_QUERY_VALUE, show, nullptr);
    } else {
        const Key key(top, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS);
        show(key, top.path);
        if (!o.valueName) {
            std::cout << '\n';
            for (const std::string& name : ReadSubkeys(key)) {
                std::cout << top.path << '\\' << name << '\n';
            }
        }
    }
    if (o.valueName && matches == 0) {
        throw Failure(ErrorText(ERROR_FILE_NOT_FOUND));
    }
    std::cout << '\n';
    return 0;
}

std::string ParseData(const std::string& type, const std::string& text, DWORD* typeNumber) {
    if (type == "REG_SZ" || type == "REG_EXPAND_SZ") {
        *typeNumber = type == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
        return text + '\0';
    }
    if (type == "REG_DWORD") {
        *typeNumber = REG_DWORD;
        std::size_t used = 0;
        unsigned long long n = 0;
        try {
            n = std::stoull(text, &used,
                            text.starts_with("0x") || text.starts_with("0X") ? 16 : 10);
        } catch (const std::exception&) {
            used = 0;
        }
        if (text.empty() || used != text.size() || text[0] == '-' || n > 0xFFFFFFFFull) {
            throw Failure("Invalid REG_DWORD data \"" + text +
                          "\": give 0 to 4294967295, or 0x0 to 0xffffffff.");
        }
        std::string data;
        for (int b = 0; b < 4; ++b) {
            data += static_cast<char>((n >> (8 * b)) & 0xFF);
        }
        return data;
    }
    if (type == "REG_BINARY") {
        *typeNumber = REG_BINARY;
        if (text.size() % 2 != 0 ||
            text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            throw Failure("Invalid REG_BINARY data \"" + text + "\": give pairs of hex digits.");
        }
        std::string data;
        for (std::size_t i = 0; i < text.size(); i += 2) {
            data += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
        }
        return data;
    }
    if (type == "REG_MULTI_SZ") {
        *typeNumber = REG_MULTI_SZ;
        std::string data;
        std::size_t start = 0;
        for (std::size_t sep; (sep = text.find("\\0", start)) != std::string::npos;
             start = sep + 2) {
            data += text.substr(start, sep - start) + '\0';
        }
        return data + text.substr(start) + '\0' + '\0';
    }
    throw Failure("Invalid type \"" + type +
                  "\": use REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY or REG_MULTI_SZ.");
}

int Add(const Options& o) {
    if (o.positional.size() != 1) {
        throw Failure("Invalid syntax: add takes one KEY.");
    }
    const KeyRef ref = ParseKey(o.positional[0]);
    if (!o.valueName) {
        if (o.type || o.data) {
            throw Failure("Invalid syntax: /t and /d need /v NAME or /ve.");
        }
        const Key key(ref, KEY_QUERY_VALUE, true);
        return 0;
    }
    std::string type = o.type.value_or("REG_SZ");
    for (char& c : type) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (const std::string problem = ValueNameProblem(*o.valueName); !problem.empty()) {
        throw Failure("Invalid value name: " + problem + ".");
    }
    DWORD typeNumber = REG_NONE;
    const std::string data = ParseData(type, o.data.value_or(""), &typeNumber);
    if (!o.force && KeyExists(ref)) {
        const Key key(ref, KEY_QUERY_VALUE);
        DWORD size = 0;
        if (RegQueryValueEx(key.Handle(), *o.valueName, nullptr, nullptr, nullptr, &size) ==
                ERROR_SUCCESS &&
            !Confirm("Value " + DisplayName(*o.valueName) + " exists, overwrite")) {
            throw Failure("The operation was cancelled; nothing was written.");
        }
    }
    // The key and its value arrive together or not at all.
    UserRegistryTransaction transaction;
    Check(transaction.Status());
    {
        const Key key(ref, KEY_SET_VALUE, true);
        Check(RegSetValueEx(key.Handle(), *o.valueName, 0, typeNumber,
                            reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size())));
    }
    Check(transaction.Commit());
    return 0;
}

int Delete(const Options& o) {
    if (o.positional.size() != 1) {
        throw Failure("Invalid syntax: delete takes one KEY.");
    }
    const KeyRef ref = ParseKey(o.positional[0]);
    if (ref.sub.empty() && !o.valueName && !o.allValues) {
        throw Failure("A root key cannot be deleted.");
    }
    if (!KeyExists(ref)) {
        throw Failure(ErrorText(ERROR_FILE_NOT_FOUND));
    }
    const std::string what = o.valueName   ? "the registry value " + DisplayName(*o.valueName)
                             : o.allValues ? "all values under the registry key " + ref.path
                                           : "the registry key " + ref.path;
    if (!o.force && !Confirm("Delete " + what)) {
        throw Failure("The operation was cancelled; nothing was deleted.");
    }
    UserRegistryTransaction transaction;
    Check(transaction.Status());
    if (o.valueName) {
        const Key key(ref, KEY_SET_VALUE);
        Check(RegDeleteValue(key.Handle(), *o.valueName));
    } else if (o.allValues) {
        const Key key(ref, KEY_QUERY_VALUE | KEY_SET_VALUE);
        for (const RegValue& value : ReadValues(key)) {
            Check(RegDeleteValue(key.Handle(), value.name));
        }
    } else {
        DeleteTree(ref);
    }
    Check(transaction.Commit());
    return 0;
}

// A file name of the program's text: UTF-8, which the system's own form of a
// path (UTF-16 on Windows) is made from.
std::filesystem::path PathOf(const std::string& name) {
    return std::u8string(name.begin(), name.end());
}

std::string ReadFile(const std::string& name) {
    std::ifstream in(PathOf(name), std::ios::binary);
    if (!in) {
        throw Failure("Cannot open the file " + name + ".");
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

int Export(const Options& o) {
    if (o.positional.size() != 2) {
        throw Failure("Invalid syntax: export takes a KEY and a FILE.");
    }
    const KeyRef top = ParseKey(o.positional[0]);
    const std::string& file = o.positional[1];
    std::vector<RegKeyBlock> blocks;
    {
        // One state of the store, even while Netvigil saves its options.
        const UserRegistrySnapshot snapshot;
        blocks = ReadTree(top);
    }
    if (!o.force && std::filesystem::exists(PathOf(file)) &&
        !Confirm("File " + file + " already exists. Overwrite")) {
        throw Failure("The operation was cancelled; nothing was written.");
    }
    // Replaced whole or not at all, never through a planted link.
    if (!WriteFileWhole(file, WriteRegFile(blocks))) {
        throw Failure("Cannot write the file " + file + ".");
    }
    return 0;
}

int Import(const Options& o) {
    if (o.positional.size() != 1) {
        throw Failure("Invalid syntax: import takes one FILE.");
    }
    const std::string& name = o.positional[0];
    const auto parsed = ParseRegFile(ReadFile(name));
    if (const auto* error = std::get_if<ParseError>(&parsed)) {
        throw Failure(name + ", line " + std::to_string(error->line) + ": " + error->message +
                      ". Nothing was imported.");
    }
    UserRegistryTransaction transaction;
    Check(transaction.Status());
    if (const auto failed = ImportFile(std::get<RegFile>(parsed))) {
        throw Failure(name + ", line " + std::to_string(failed->line) + ": " + failed->message +
                      " Nothing was imported.");
    }
    Check(transaction.Commit());
    return 0;
}

} // namespace

int ProgramMain(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "/?" || args[0] == "-h" || args[0] == "--help") {
        std::cout << kUsage << "\nThe store is " << UserRegistryDescription() << ".\n";
        return args.empty() ? 1 : 0;
    }
    std::string command = args[0];
    for (char& c : command) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    struct Command {
        const char* name;
        const char* options;
        bool writes;
        int (*run)(const Options&);
    };
    static const Command kCommands[] = {{"query", " v ve s ", false, Query},
                                        {"add", " v ve t d f ", true, Add},
                                        {"delete", " v ve va f ", true, Delete},
                                        {"export", " y ", false, Export},
                                        {"import", " ", true, Import}};
    try {
        for (const Command& c : kCommands) {
            if (command != c.name) {
                continue;
            }
            std::vector<std::string> rest(args);
            rest[0] = command;
            const Options options = ParseOptions(rest, c.options);
            std::string problem;
            const LONG status = UserRegistryStatus(&problem);
            const std::string store = UserRegistryName();
            if (status != ERROR_SUCCESS) {
                throw Failure("Cannot use the registry store " + store + ": " + problem + ". " +
                              "The file has been left as it is.");
            }
            if (c.writes && !problem.empty()) {
                throw Failure("Cannot write the registry store " + store + ": " + problem + ".");
            }
            const int rc = c.run(options);
            if (c.writes) {
                std::cout << "The operation completed successfully.\n";
            }
            return rc;
        }
        throw Failure("Invalid syntax: unknown command \"" + args[0] +
                      "\". Type \"netvigil-reg /?\" for usage.");
    } catch (const Failure& failure) {
        std::cerr << "ERROR: " << failure.Message() << '\n';
        return 1;
    }
}
