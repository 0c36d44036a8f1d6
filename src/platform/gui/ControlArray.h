#pragma once

#include <array>
#include <cstddef>

namespace platform {

// Elements of one kind numbered 1 to N, reached as shp(n); a number outside
// that range throws rather than reaching a neighbour.
template <typename T, int N> class ControlArray {
public:
    T& operator()(int n) { return m_items.at(Index(n)); }
    const T& operator()(int n) const { return m_items.at(Index(n)); }

private:
    static std::size_t Index(int n) { return static_cast<std::size_t>(n >= 1 ? n : N + 1); }

    std::array<T, static_cast<std::size_t>(N) + 1> m_items{};
};

} // namespace platform
