#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// An error of the registry class: a number, a source text (the program's
// name followed by ".cRegistry", or none) and a description (or none).
class RegistryError : public std::runtime_error {
public:
    RegistryError(std::int32_t number, std::string source, std::string description)
        : std::runtime_error(description), m_number(number), m_source(std::move(source)),
          m_description(std::move(description)) {}

    std::int32_t Number() const { return m_number; }
    const std::string& Source() const { return m_source; }
    const std::string& Description() const { return m_description; }

private:
    std::int32_t m_number;
    std::string m_source;
    std::string m_description;
};
