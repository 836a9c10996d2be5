#include "NumberText.h"

#include <limits>

std::optional<std::int64_t> parseWholeNumber(const QString &text, std::int64_t min,
                                             std::int64_t max)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    // Magnitudes are capped well above any field; digits beyond just mark
    // the number as too large.
    constexpr std::uint64_t cap = std::uint64_t(1) << 62;
    std::uint64_t whole = 0;
    bool tooLarge = false;
    int digits = 0;
    for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i, ++digits) {
        whole = whole * 10 + std::uint64_t(t[i].unicode() - u'0');
        if (whole > cap) {
            tooLarge = true;
            whole = cap;
        }
    }
    int fractionDigits = 0;
    int firstFraction = -1;   // first digit after the point
    bool restNonZero = false; // any non-zero digit after the first
    if (i < t.size() && t[i] == u'.') {
        for (++i; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i, ++fractionDigits) {
            const int d = t[i].unicode() - u'0';
            if (firstFraction < 0)
                firstFraction = d;
            else if (d != 0)
                restNonZero = true;
        }
    }
    if (i != t.size() || digits + fractionDigits == 0)
        return std::nullopt;

    if (firstFraction > 5 || (firstFraction == 5 && (restNonZero || whole % 2 == 1)))
        ++whole;
    if (tooLarge)
        return std::nullopt;
    const std::int64_t value = negative ? -std::int64_t(whole) : std::int64_t(whole);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}
