#include "registry/Variant.h"

std::string Variant::ToText() const {
    if (const auto* text = std::get_if<std::string>(&m_value)) {
        return *text;
    }
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&m_value)) {
        return std::string(bytes->begin(), bytes->end());
    }
    std::int32_t number = 0;
    return ToLong(&number) ? std::to_string(number) : std::string();
}

bool Variant::ToLong(std::int32_t* value) const {
    if (const auto* small = std::get_if<std::int16_t>(&m_value)) {
        *value = *small;
        return true;
    }
    if (const auto* large = std::get_if<std::int32_t>(&m_value)) {
        *value = *large;
        return true;
    }
    return false;
}
