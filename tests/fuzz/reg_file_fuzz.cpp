// The .reg importer: a file's bytes parsed and imported into a store in
// memory. Whatever a file makes of the store, the export of it parses,
// imports into an empty store, and exports again to the same bytes.

#include "fuzz_support.h"
#include "platform/fake/fake_registry.h"
#include "reg_file.h"
#include "reg_tree.h"

#include <variant>

using fuzz_support::Expect;
using fuzz_support::Printable;
using namespace netvigil_reg;

namespace {

std::string ExportAll() {
    std::vector<RegKeyBlock> blocks;
    for (const char* root :
         {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
        for (RegKeyBlock& block : ReadTree(ParseKey(root))) {
            blocks.push_back(std::move(block));
        }
    }
    return WriteRegFile(blocks);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = ParseRegFile(std::string(fuzz_support::Bytes(data, size)));
    const auto* file = std::get_if<RegFile>(&parsed);
    if (file == nullptr) {
        return 0;
    }
    platform::fake::ResetRegistry();
    if (ImportFile(*file)) {
        return 0;
    }
    const std::string exported = ExportAll();
    const auto again = ParseRegFile(exported);
    const auto* error = std::get_if<ParseError>(&again);
    Expect(error == nullptr, "an export parses",
           error != nullptr ? "line " + std::to_string(error->line) + ": " + error->message + "\n" +
                                  Printable(exported)
                            : "");
    platform::fake::ResetRegistry();
    const auto failed = ImportFile(std::get<RegFile>(again));
    Expect(!failed, "an export imports",
           failed ? "line " + std::to_string(failed->line) + ": " + failed->message + "\n" +
                        Printable(exported)
                  : "");
    const std::string twice = ExportAll();
    Expect(twice == exported, "an export imports and exports again to the same bytes",
           Printable(exported) + "\n---\n" + Printable(twice));
    return 0;
}
