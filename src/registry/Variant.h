#pragma once

// A tagged value as the registry class exchanges them: empty, a 16-bit or
// 32-bit integer, text, or an array of bytes (indices from 0).

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class Variant {
public:
    Variant() = default;
    static Variant Integer(std::int16_t value) { return Variant(Store(value)); }
    static Variant Long(std::int32_t value) { return Variant(Store(value)); }
    static Variant Text(std::string value) { return Variant(Store(std::move(value))); }
    static Variant Bytes(std::vector<std::uint8_t> value) {
        return Variant(Store(std::move(value)));
    }

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(m_value); }
    bool IsBytes() const { return std::holds_alternative<std::vector<std::uint8_t>>(m_value); }

    // Empty is "", integers are decimal, bytes are taken as 8-bit text.
    std::string ToText() const;
    // Integers as they are; anything else is no integer.
    bool ToLong(std::int32_t* value) const;
    const std::vector<std::uint8_t>& ToBytes() const {
        return std::get<std::vector<std::uint8_t>>(m_value);
    }

    bool operator==(const Variant&) const = default;

private:
    using Store = std::variant<std::monostate, std::int16_t, std::int32_t, std::string,
                               std::vector<std::uint8_t>>;
    explicit Variant(Store value) : m_value(std::move(value)) {}

    Store m_value;
};
