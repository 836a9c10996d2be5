#include "DisplayMap.h"

#include <algorithm>
#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Bit i set where text[at + i] is a line feed, for the 16 characters there.
quint32 lineFeeds(const char16_t *text)
{
#ifdef __SSE2__
    const __m128i feed = _mm_set1_epi16(u'\n');
    const auto low = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text)),
                                     feed);
    const auto high = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + 8)),
                                      feed);
    return quint32(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
#else
    quint32 bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= quint32(text[i] == u'\n') << i;
    return bits;
#endif
}

} // namespace

// Calls visit(start) for every paragraph after the first. Novels have
// millions of short lines: the line feeds are found 16 characters at a time.
template <typename Visit> void DisplayMap::scan(QStringView text, Visit visit)
{
    const char16_t *s = text.utf16();
    const qsizetype n = text.size();
    qsizetype lineStart = 0;
    const auto endLine = [&](qsizetype lineEnd) {
        for (qsizetype at = lineStart + kChunk; at < lineEnd; at += kChunk) {
            if (QChar::isLowSurrogate(s[at]))
                ++at;
            if (at < lineEnd)
                visit(at);
        }
    };
    const auto feedAt = [&](qsizetype at) {
        endLine(at);
        visit(at + 1);
        lineStart = at + 1;
    };
    qsizetype i = 0;
    for (; i + 16 <= n; i += 16) {
        for (quint32 bits = lineFeeds(s + i); bits != 0; bits &= bits - 1)
            feedAt(i + std::countr_zero(bits));
    }
    for (; i < n; ++i) {
        if (s[i] == u'\n')
            feedAt(i);
    }
    endLine(n);
}

DisplayMap::DisplayMap(const QString &text) : m_text(text)
{
    scan(text, [this](qsizetype at) { m_starts.append(quint32(at)); });
    m_starts.squeeze();
}

QList<quint32> DisplayMap::scanPiece(QStringView piece)
{
    QList<quint32> starts{0};
    scan(piece, [&starts](qsizetype at) { starts.append(quint32(at)); });
    return starts;
}

DisplayMap::DisplayMap(const QString &text, QList<QList<quint32>> pieces,
                       const QList<qsizetype> &lengths)
    : m_text(text)
{
    // A piece ends after a line break, so its last start is the next one's
    // first: each piece after the first adds its starts after that one.
    qsizetype total = 0;
    for (const QList<quint32> &piece : pieces)
        total += piece.size() - 1;
    const qsizetype filled = pieces[0].size();
    m_starts = std::move(pieces[0]);
    m_starts.resize(total + 1);
    quint32 *out = m_starts.data() + filled;
    qsizetype offset = lengths[0];
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        out = std::transform(pieces[i].cbegin() + 1, pieces[i].cend(), out,
                             [offset](quint32 start) { return quint32(offset + start); });
        offset += lengths[i];
    }
}

qsizetype DisplayMap::end(qsizetype paragraph) const
{
    if (paragraph + 1 >= count())
        return m_text.size();
    const qsizetype next = m_starts[paragraph + 1];
    return m_text[next - 1] == u'\n' ? next - 1 : next;
}

qsizetype DisplayMap::paragraphAt(qsizetype offset) const
{
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(),
                                        quint32(qMax<qsizetype>(0, offset)));
    return qMax<qsizetype>(0, (after - m_starts.begin()) - 1);
}
