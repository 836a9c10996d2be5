#include "DisplayMap.h"

#include <algorithm>

// Calls visit(start) for every paragraph after the first.
template <typename Visit> void DisplayMap::scan(QStringView text, Visit visit)
{
    qsizetype from = 0;
    while (from <= text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', from);
        if (lineEnd < 0)
            lineEnd = text.size();
        for (qsizetype at = from + kChunk; at < lineEnd; at += kChunk) {
            if (text[at].isLowSurrogate())
                ++at;
            if (at < lineEnd)
                visit(at);
        }
        if (lineEnd == text.size())
            break;
        visit(lineEnd + 1);
        from = lineEnd + 1;
    }
}

DisplayMap::DisplayMap(const QString &text) : m_text(text)
{
    scan(text, [this](qsizetype at) { m_starts.append(quint32(at)); });
    m_starts.squeeze();
}

QList<quint32> DisplayMap::scanPiece(QStringView piece)
{
    QList<quint32> starts;
    scan(piece, [&starts](qsizetype at) { starts.append(quint32(at)); });
    return starts;
}

DisplayMap::DisplayMap(const QString &text, const QList<QList<quint32>> &pieces,
                       const QList<qsizetype> &lengths)
    : m_text(text)
{
    qsizetype total = 1;
    for (const QList<quint32> &piece : pieces)
        total += piece.size();
    m_starts.reserve(total);
    qsizetype offset = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        for (const quint32 start : pieces[i])
            m_starts.append(quint32(offset + start));
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
