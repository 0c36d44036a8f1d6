#pragma once

// What the benchmarks share: milliseconds, medians, and goals said as met or
// missed.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

inline double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

// The median time of body, run runs times.
inline double MedianMs(int runs, const std::function<void()>& body) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        body();
        times.push_back(Ms(std::chrono::steady_clock::now() - start));
    }
    return Median(std::move(times));
}

// Prints whether value is within the limit, and returns it.
inline bool Goal(const char* what, double value, double limit) {
    const bool met = value <= limit;
    std::printf("    goal: %s <= %.2f: %s\n", what, limit, met ? "met" : "MISSED");
    return met;
}

} // namespace bench
