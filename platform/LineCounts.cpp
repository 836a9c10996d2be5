#include "LineCounts.h"

void LineCounts::reset(qsizetype paragraphs)
{
    m_paragraphs = paragraphs;
    m_extra.clear();
    const qsizetype groups = (paragraphs + kGroup - 1) / kGroup;
    m_tree.assign(size_t(groups), 0);
    for (qsizetype i = 1; i <= groups; ++i) {
        m_tree[size_t(i - 1)] += qint32(qMin(kGroup, paragraphs - (i - 1) * kGroup));
        if (const qsizetype parent = i + (i & -i); parent <= groups)
            m_tree[size_t(parent - 1)] += m_tree[size_t(i - 1)];
    }
}

int LineCounts::at(qsizetype paragraph) const
{
    const auto found = m_extra.find(paragraph);
    return 1 + (found == m_extra.end() ? 0 : found->second);
}

void LineCounts::set(qsizetype paragraph, int lines)
{
    const qint32 delta = qint32(lines - at(paragraph));
    if (delta == 0 || paragraph < 0 || paragraph >= m_paragraphs)
        return;
    if (lines > 1)
        m_extra[paragraph] = lines - 1;
    else
        m_extra.erase(paragraph);
    for (qsizetype i = paragraph / kGroup + 1; i <= qsizetype(m_tree.size()); i += i & -i)
        m_tree[size_t(i - 1)] += delta;
}

qint64 LineCounts::linesBeforeGroup(qsizetype group) const
{
    qint64 sum = 0;
    for (qsizetype i = group; i > 0; i -= i & -i)
        sum += m_tree[size_t(i - 1)];
    return sum;
}

qint64 LineCounts::before(qsizetype paragraph) const
{
    paragraph = qBound<qsizetype>(0, paragraph, m_paragraphs);
    const qsizetype group = paragraph / kGroup;
    qint64 sum = linesBeforeGroup(group) + paragraph - group * kGroup;
    for (auto it = m_extra.lower_bound(group * kGroup);
         it != m_extra.end() && it->first < paragraph; ++it)
        sum += it->second;
    return sum;
}

std::pair<qsizetype, int> LineCounts::find(qint64 line) const
{
    if (m_paragraphs == 0)
        return {0, 0};
    line = qBound<qint64>(0, line, total() - 1);
    const auto groups = qsizetype(m_tree.size());
    qsizetype group = 0; // groups wholly before the line
    qsizetype step = 1;
    while (step * 2 <= groups)
        step *= 2;
    for (; step > 0; step /= 2) {
        if (group + step <= groups && m_tree[size_t(group + step - 1)] <= line) {
            group += step;
            line -= m_tree[size_t(group - 1)];
        }
    }
    // Within the group, paragraph by paragraph.
    const qsizetype first = group * kGroup, last = qMin(first + kGroup, m_paragraphs) - 1;
    auto extra = m_extra.lower_bound(first);
    for (qsizetype p = first; p < last; ++p) {
        qint64 lines = 1;
        if (extra != m_extra.end() && extra->first == p)
            lines += (extra++)->second;
        if (line < lines)
            return {p, int(line)};
        line -= lines;
    }
    return {last, int(line)};
}
