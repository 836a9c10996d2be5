#include "Gb18030Decoder.h"

#include "TextPages.h"

#include <QByteArray>
#include <QStringDecoder>

#include <array>
#include <cstring>

namespace Gb18030Decoder {
namespace {

constexpr qsizetype kSlice = 4 * 1024 * 1024;
constexpr unsigned kFirstLead = 0x81;
constexpr unsigned kLeads = 0xFE - kFirstLead + 1;
constexpr unsigned kFirstTrail = 0x40;
constexpr unsigned kTrails = 0xFE - kFirstTrail + 1;
const auto kFlags = QStringDecoder::Flag::ConvertInitialBom;

// The character of each two-byte code, 0 where it takes more than a table.
struct Table {
    std::array<char16_t, kLeads * kTrails> units{};
    bool made = false;
};

// Every code followed by a line feed, decoded at once: what lies between
// two line feeds is the code's character.
Table makeTable()
{
    Table table;
    QByteArray codes;
    codes.reserve(kLeads * kTrails * 3);
    for (unsigned lead = 0; lead < kLeads; ++lead) {
        for (unsigned trail = 0; trail < kTrails; ++trail) {
            codes.append(char(kFirstLead + lead)).append(char(kFirstTrail + trail)).append('\n');
        }
    }
    QStringDecoder decoder("GB18030", kFlags);
    if (!decoder.isValid())
        return table;
    const QString decoded = decoder.decode(codes);
    qsizetype at = 0;
    for (char16_t &unit : table.units) {
        const qsizetype end = decoded.indexOf(u'\n', at);
        if (end < 0)
            return Table();
        const QChar c = decoded[at];
        if (end - at == 1 && !c.isSurrogate() && c != QChar::ReplacementCharacter && c != u'\0')
            unit = c.unicode();
        at = end + 1;
    }
    table.made = true;
    return table;
}

const Table &table()
{
    static const Table made = makeTable();
    return made;
}

bool hasBreakOrNul(QByteArrayView bytes)
{
    return std::memchr(bytes.data(), '\r', size_t(bytes.size()))
           || std::memchr(bytes.data(), '\0', size_t(bytes.size()));
}

} // namespace

Result decode(QByteArrayView bytes, QChar *out, const std::function<void(QByteArrayView)> &consumed)
{
    Result result;
    const Table &codes = table();
    if (!codes.made)
        return result;
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    auto *o = reinterpret_cast<char16_t *>(out);
    qsizetype i = 0;
    qsizetype lineIn = 0; // where the line being decoded starts
    char16_t *lineOut = o;
    while (i < n) {
        const qsizetype sliceStart = i;
        const qsizetype sliceEnd = qMin(n, i + kSlice);
        // Chinese text takes as many bytes decoded as it did encoded.
        TextPages::prepare(o, sliceEnd - i);
        while (i < sliceEnd) {
            const unsigned b = in[i];
            if (b < 0x80) {
                *o++ = char16_t(b);
                ++i;
                if (b == '\n') {
                    lineIn = i;
                    lineOut = o;
                } else if (b == '\r' || b == 0) {
                    result.hasBreaksOrNul = true;
                }
                continue;
            }
            if (i + 1 < n) {
                const unsigned lead = b - kFirstLead;
                const unsigned trail = unsigned(in[i + 1]) - kFirstTrail;
                if (lead < kLeads && trail < kTrails) {
                    if (const char16_t unit = codes.units[lead * kTrails + trail]) {
                        *o++ = unit;
                        i += 2;
                        continue;
                    }
                }
            }
            // The rest of the line is more than the table holds: the whole
            // line again, through QStringDecoder.
            const void *feed = std::memchr(in + i, '\n', size_t(n - i));
            const qsizetype lineEnd = feed ? static_cast<const uchar *>(feed) - in + 1 : n;
            const QByteArrayView line = bytes.sliced(lineIn, lineEnd - lineIn);
            QStringDecoder decoder("GB18030", kFlags);
            QChar *end = decoder.appendToBuffer(reinterpret_cast<QChar *>(lineOut), line);
            end = decoder.appendToBuffer(end, QByteArrayView()); // an unfinished character
            o = reinterpret_cast<char16_t *>(end);
            result.hasBreaksOrNul |= hasBreakOrNul(line);
            i = lineIn = lineEnd;
            lineOut = o;
        }
        consumed(bytes.sliced(sliceStart, i - sliceStart));
    }
    result.ok = true;
    result.end = reinterpret_cast<QChar *>(o);
    return result;
}

} // namespace Gb18030Decoder
