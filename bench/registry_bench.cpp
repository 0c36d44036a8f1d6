// Times the README's backup commands, `netvigil-reg query KEY /s` and
// `netvigil-reg export KEY FILE`, over stores whose shape is hard on a naive
// walk: one chain of keys 500 levels deep, and 10,000 sibling keys. Each is
// set against a flat store of the same size, measured in the same run: the
// same number of keys, each with the same value, spread over two levels of
// about √N keys each, named so that its paths are as long on average as the
// shaped store's (every key prints its whole path, so a deep key prints
// more). Both commands must cost about the same whatever the shape. Prints
// medians and ratios; exits 1 when a goal is missed.

#include "bench_support.h"
#include "platform/posix/user_registry.h"
#include "platform/registry.h"
#include "test_support.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

using namespace platform;
using namespace std::chrono;
using bench::MedianMs;

namespace {

constexpr double kGoalRatio = 2.0;

HKEY CreateBelow(HKEY parent, const std::string& name) {
    HKEY key = 0;
    RegCreateKeyEx(parent, name, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                   nullptr);
    const std::string data = "a value";
    RegSetValueEx(key, "Setting", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                  static_cast<DWORD>(data.size() + 1));
    return key;
}

// Fills a fresh store at path, all in one transaction, with count keys below
// HKCU\Software\Bench: a chain, siblings, or the flat reference.
enum class Shape { Chain, Siblings, Flat };

void MakeStore(const std::string& path, Shape shape, int count, std::size_t nameLength = 0) {
    const auto name = [nameLength](std::string base) {
        base.resize(std::max(base.size(), nameLength), 'x');
        return base;
    };
    ::setenv("NETVIGIL_REGISTRY", path.c_str(), 1);
    posix::CloseUserRegistry();
    {
        UserRegistryTransaction transaction;
        const HKEY top = CreateBelow(HKEY_CURRENT_USER, "Software\\Bench");
        if (shape == Shape::Chain) {
            HKEY parent = top;
            for (int i = 0; i < count; ++i) {
                const HKEY key = CreateBelow(parent, "k");
                if (parent != top) {
                    RegCloseKey(parent);
                }
                parent = key;
            }
            RegCloseKey(parent);
        } else if (shape == Shape::Siblings) {
            for (int i = 0; i < count; ++i) {
                RegCloseKey(CreateBelow(top, "Key" + std::to_string(i)));
            }
        } else {
            const int groups = static_cast<int>(std::ceil(std::sqrt(count)));
            std::vector<HKEY> group;
            for (int g = 0; g < groups; ++g) {
                group.push_back(CreateBelow(top, name("Group" + std::to_string(g))));
            }
            for (int i = groups; i < count; ++i) {
                RegCloseKey(CreateBelow(group[static_cast<std::size_t>(i % groups)],
                                        name("Key" + std::to_string(i))));
            }
            for (const HKEY key : group) {
                RegCloseKey(key);
            }
        }
        RegCloseKey(top);
        transaction.Commit();
    }
    posix::CloseUserRegistry();
}

struct Timing {
    double query;
    double exportMs;
    std::size_t printed; // bytes query /s printed
};

Timing Time(const testing_support::TempDir& dir, const std::string& store) {
    const std::map<std::string, std::string> env = {{"NETVIGIL_REGISTRY", store}};
    const std::string out = dir / "out.reg";
    constexpr int kRuns = 7;
    Timing timing{};
    timing.query = MedianMs(kRuns, [&] {
        timing.printed = testing_support::RunProgram("netvigil-reg",
                                                     {"query", "HKCU\\Software\\Bench", "/s"}, env)
                             .out.size();
    });
    timing.exportMs = MedianMs(kRuns, [&] {
        testing_support::RunProgram("netvigil-reg", {"export", "HKCU\\Software\\Bench", out, "/y"},
                                    env);
    });
    return timing;
}

} // namespace

int main() {
    testing_support::TempDir dir;
    // A chain level is named "k": its average path runs 500 characters, as
    // in a flat store whose names run 250.
    struct Case {
        const char* name;
        Shape shape;
        int keys;
        std::size_t flatNameLength;
    };
    const Case cases[] = {{"chain 500 deep", Shape::Chain, 500, 250},
                          {"10,000 siblings", Shape::Siblings, 10000, 0}};
    bool met = true;
    std::printf("%-17s %-9s %12s %12s %8s\n", "store", "command", "measured", "flat, same N",
                "ratio");
    for (const Case& c : cases) {
        MakeStore(dir / "shaped.db", c.shape, c.keys);
        MakeStore(dir / "flat.db", Shape::Flat, c.keys, c.flatNameLength);
        const Timing shaped = Time(dir, dir / "shaped.db");
        const Timing flat = Time(dir, dir / "flat.db");
        std::printf("%-17s %-9s %9zu KB %9zu KB\n", c.name, "printed", shaped.printed / 1000,
                    flat.printed / 1000);
        for (const auto& [command, measured, reference] :
             {std::tuple{"query /s", shaped.query, flat.query},
              std::tuple{"export", shaped.exportMs, flat.exportMs}}) {
            const double ratio = measured / reference;
            met = met && ratio <= kGoalRatio;
            std::printf("%-17s %-9s %9.1f ms %9.1f ms %8.2f\n", c.name, command, measured,
                        reference, ratio);
        }
    }
    std::printf("goal: ratio <= %.1f: %s\n", kGoalRatio, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
