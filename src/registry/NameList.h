#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The names an enumeration found, numbered from 1.
class NameList {
public:
    const std::string& operator()(std::int32_t i) const {
        if (i < 1 || i > Count()) {
            throw std::out_of_range("Subscript out of range");
        }
        return m_names[static_cast<std::size_t>(i - 1)];
    }
    std::int32_t Count() const { return static_cast<std::int32_t>(m_names.size()); }
    void Add(std::string name) { m_names.push_back(std::move(name)); }
    void Clear() { m_names.clear(); }

private:
    std::vector<std::string> m_names;
};
