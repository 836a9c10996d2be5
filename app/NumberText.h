#pragma once

#include <QString>

#include <cstdint>
#include <limits>
#include <optional>

// Converts settings text to whole numbers: a decimal number with an optional
// sign and blanks around it; a fraction goes to the nearest whole number, a
// half to the even one. Returns nothing for a text that is not such a number
// or whose value does not fit [min, max].
std::optional<std::int64_t> parseWholeNumber(const QString &text, std::int64_t min,
                                             std::int64_t max);

template <typename Int> void assignWholeNumber(const QString &text, Int &field)
{
    if (const auto value = parseWholeNumber(text, std::numeric_limits<Int>::min(),
                                            std::numeric_limits<Int>::max())) {
        field = static_cast<Int>(*value);
    }
}
