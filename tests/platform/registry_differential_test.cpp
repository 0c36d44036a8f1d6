// One registry against another: 1,000 random sequences of 200 steps each run
// on the store in memory (through the registry functions) and on a store file,
// and after every step both must have answered alike.

#include "registry_sequence.h"
#include "store_registry.h"

#include <gtest/gtest.h>

using namespace registry_sequence;

namespace {

constexpr std::uint64_t kSequences = 1000;
constexpr std::size_t kSteps = 200;

TEST(RegistryDifferential, TheStoreInMemoryAndAStoreFileAnswerAlike) {
    MemoryAndFile pair;
    int failures = 0;
    for (std::uint64_t seed = 1; seed <= kSequences && failures < 3; ++seed) {
        const auto steps = Generate(seed, kSteps, Profile::Full);
        if (FirstMismatch(pair, steps)) {
            ADD_FAILURE() << Explain(pair, seed, steps);
            ++failures;
        }
    }
}

} // namespace
