#include "DisplayMap.h"

#include <algorithm>

void DisplayMap::reset(const QString &text, qsizetype at)
{
    m_text = text;
    m_begin = m_end = qBound<qsizetype>(0, at, text.size());
    m_breaks.clear();
}

// A break goes before every multiple of kChunk that ends kChunk characters
// without a line break (after the low half of a surrogate pair, if one is
// there). The rule depends on the text alone, so the breaks of a piece do
// not depend on the order in which pieces arrive.
void DisplayMap::breaksIn(qsizetype from, qsizetype to, std::vector<qsizetype> &out) const
{
    const qsizetype size = m_text.size();
    // A break point moved past a surrogate half lies one after its multiple.
    for (qsizetype k = (qMax<qsizetype>(from - 1, 1) + kChunk - 1) / kChunk * kChunk; k < size;
         k += kChunk) {
        qsizetype at = k;
        if (m_text[at].isLowSurrogate())
            ++at;
        if (at >= to)
            break;
        if (at < from || at >= size)
            continue;
        const QStringView window = QStringView(m_text).sliced(k - kChunk, kChunk);
        if (!window.contains(u'\n'))
            out.push_back(at);
    }
}

QString DisplayMap::withBreaks(qsizetype from, qsizetype to,
                               const std::vector<qsizetype> &breaks) const
{
    QString out;
    out.reserve(to - from + qsizetype(breaks.size()));
    qsizetype at = from;
    for (const qsizetype b : breaks) {
        out += QStringView(m_text).sliced(at, b - at);
        out += u'\n';
        at = b;
    }
    out += QStringView(m_text).sliced(at, to - at);
    return out;
}

QString DisplayMap::append(qsizetype to)
{
    to = qBound(m_end, to, m_text.size());
    std::vector<qsizetype> added;
    // A break right at the join only once something is shown before it.
    breaksIn(m_end == m_begin ? m_end + 1 : m_end, to, added);
    const QString piece = withBreaks(m_end, to, added);
    m_breaks.insert(m_breaks.end(), added.begin(), added.end());
    m_end = to;
    return piece;
}

QString DisplayMap::prepend(qsizetype from)
{
    from = qBound<qsizetype>(0, from, m_begin);
    std::vector<qsizetype> added;
    breaksIn(from + 1, m_begin == m_end ? m_begin : m_begin + 1, added);
    const QString piece = withBreaks(from, m_begin, added);
    m_breaks.insert(m_breaks.begin(), added.begin(), added.end());
    m_begin = from;
    return piece;
}

int DisplayMap::toLocal(qsizetype logical) const
{
    if (logical < m_begin || logical > m_end)
        return -1;
    const auto before = std::upper_bound(m_breaks.begin(), m_breaks.end(), logical);
    return int(logical - m_begin + (before - m_breaks.begin()));
}

qsizetype DisplayMap::toLogical(int local) const
{
    // Break i sits at local (breaks[i] - begin + i); count those before local.
    qsizetype low = 0;
    qsizetype high = qsizetype(m_breaks.size());
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        if (m_breaks[size_t(mid)] - m_begin + mid < local)
            low = mid + 1;
        else
            high = mid;
    }
    return qBound(m_begin, m_begin + local - low, m_end);
}
