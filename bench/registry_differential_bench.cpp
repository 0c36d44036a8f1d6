// The differential registry test at length: random sequences run on the
// store in memory and on a store file, compared after every step, as the
// unit test does with 1,000 of them.
//
//   registry_differential_bench [SEQUENCES [STEPS [FIRST_SEED]]]
//
// (100,000 sequences of 200 steps from seed 1 unless told.) It stops at the
// first difference, with its seed and its shortest failing prefix.

#include "registry_sequence.h"
#include "store_registry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace registry_sequence;

int main(int argc, char** argv) {
    const auto arg = [&](int i, unsigned long long fallback) {
        return argc > i ? std::strtoull(argv[i], nullptr, 10) : fallback;
    };
    const std::uint64_t sequences = arg(1, 100000);
    const std::size_t steps = arg(2, 200);
    const std::uint64_t first = arg(3, 1);

    MemoryAndFile pair;
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (std::uint64_t seed = first; seed < first + sequences; ++seed) {
        const auto sequence = Generate(seed, steps, Profile::Full);
        if (FirstMismatch(pair, sequence)) {
            std::printf("%s", Explain(pair, seed, sequence).c_str());
            return 1;
        }
        const std::uint64_t done = seed - first + 1;
        if (done % 1000 == 0) {
            std::printf("%llu sequences, %.0f s\n", static_cast<unsigned long long>(done),
                        seconds());
            std::fflush(stdout);
        }
    }
    const double total = seconds();
    std::printf("%llu sequences of %zu steps (seeds %llu to %llu) answered alike: %.1f s, "
                "%.0f steps a second on each store\n",
                static_cast<unsigned long long>(sequences), steps,
                static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(first + sequences - 1), total,
                static_cast<double>(sequences * steps) / total);
    return 0;
}
