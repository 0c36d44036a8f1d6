// What the store answered to the portable registry sequences is recorded in
// data/registry_outcomes.txt. On Linux the store must still answer so
// (NETVIGIL_RECORD_OUTCOMES=1 records it afresh after a deliberate change);
// on Windows the registry must answer the same, where Wine's known
// differences are named. Any other difference is a fault of ours, or a
// difference of Wine's yet to be named.

#include "registry_sequence.h"
#include "store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

using namespace registry_sequence;

namespace {

constexpr std::uint64_t kSeeds = 12;
constexpr std::size_t kSteps = 200;

std::vector<std::string> Outcomes(const std::vector<Step>& steps) {
    FreshStore();
    const auto registry = Functions();
    Runner runner(*registry);
    std::vector<std::string> outcomes;
    for (const Step& step : steps) {
        outcomes.push_back(runner.Apply(step));
    }
    return outcomes;
}

std::map<std::uint64_t, std::vector<std::string>> Recorded() {
    std::map<std::uint64_t, std::vector<std::string>> recorded;
    std::ifstream in(NETVIGIL_REGISTRY_OUTCOMES, std::ios::binary);
    std::vector<std::string>* current = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("#")) {
            continue;
        }
        if (line.starts_with("seed ")) {
            current = &recorded[std::stoull(line.substr(5))];
        } else if (current != nullptr) {
            current->push_back(line);
        }
    }
    return recorded;
}

// The values a listing gives, in an order of their own, then how it ended.
std::vector<std::string> Items(const std::string& outcome) {
    const auto first = outcome.find(' ');
    const auto last = outcome.rfind(' ');
    std::vector<std::string> items;
    for (std::size_t start = first; start < last;) {
        const auto end = std::min(outcome.find(';', start + 1), last);
        items.push_back(outcome.substr(start + 1, end - start - 1));
        start = end;
    }
    std::sort(items.begin(), items.end());
    items.push_back(outcome.substr(last + 1));
    return items;
}

// Where Wine answers otherwise than Windows (and the store) and says so.
bool WineDiffers(const Step& step, const std::string& recorded, const std::string& got) {
    const auto code = [](const std::string& outcome) {
        return outcome.substr(0, outcome.find(' '));
    };
    const bool listing = step.op == Op::EnumValues || step.op == Op::EnumValueAt;
    if (listing &&
        (step.op == Op::EnumValues ? Items(got) == Items(recorded) : code(got) == code(recorded))) {
        static const bool sorted = testing_support::WineDiffers(
            "values are listed sorted by name, not in the order they were made");
        return sorted;
    }
    const bool read =
        listing || step.op == Op::EnumKeys || step.op == Op::EnumKeyAt || step.op == Op::QueryInfo;
    if (read && (recorded == "5" || recorded == "keys 5" || recorded == "info 5")) {
        static const bool unchecked = testing_support::WineDiffers(
            "listing a key and RegQueryInfoKey do not always check the handle's rights");
        return unchecked;
    }
    if (step.op == Op::Create && step.path.empty() && recorded == "0 d2" && got == "0 d1") {
        static const bool made = testing_support::WineDiffers(
            "creating a key's own empty path says REG_CREATED_NEW_KEY");
        return made;
    }
    return false;
}

TEST(RegistryOutcomes, AsRecordedFromTheStore) {
    if (std::getenv("NETVIGIL_RECORD_OUTCOMES") != nullptr) {
        std::ofstream out(NETVIGIL_REGISTRY_OUTCOMES, std::ios::binary);
        out << "# What the registry store answers to the portable sequences of seeds 1 to "
            << kSeeds << ",\n# " << kSteps
            << " steps each, one line per step (tests/support/registry_sequence.h).\n";
        for (std::uint64_t seed = 1; seed <= kSeeds; ++seed) {
            out << "seed " << seed << '\n';
            for (const std::string& outcome : Outcomes(Generate(seed, kSteps, Profile::Portable))) {
                out << outcome << '\n';
            }
        }
        GTEST_SKIP() << "recorded into " << NETVIGIL_REGISTRY_OUTCOMES;
    }
    const auto recorded = Recorded();
    ASSERT_EQ(recorded.size(), kSeeds) << "nothing recorded in " << NETVIGIL_REGISTRY_OUTCOMES;
    for (const auto& [seed, outcomes] : recorded) {
        const auto steps = Generate(seed, kSteps, Profile::Portable);
        ASSERT_EQ(outcomes.size(), steps.size()) << "seed " << seed;
        const auto got = Outcomes(steps);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (got[i] != outcomes[i] && !WineDiffers(steps[i], outcomes[i], got[i])) {
                std::string prefix;
                for (std::size_t k = 0; k <= i; ++k) {
                    prefix += "  " + Describe(steps[k]) + "\n      " + got[k] + "\n";
                }
                ADD_FAILURE() << "seed " << seed << ", step " << i << ": " << Describe(steps[i])
                              << "\n  recorded: " << outcomes[i] << "\n  got:      " << got[i]
                              << "\nthe sequence up to it:\n"
                              << prefix;
                break;
            }
        }
    }
}

} // namespace
