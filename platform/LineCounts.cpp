#include "LineCounts.h"

void LineCounts::reset(qsizetype paragraphs)
{
    // The node for i (1-based) covers the lowest set bit of i paragraphs.
    m_tree.resize(size_t(paragraphs));
    for (qsizetype i = 1; i <= paragraphs; ++i)
        m_tree[size_t(i - 1)] = qint32(i & -i);
}

int LineCounts::at(qsizetype paragraph) const
{
    return int(before(paragraph + 1) - before(paragraph));
}

void LineCounts::set(qsizetype paragraph, int lines)
{
    const qint32 delta = qint32(lines - at(paragraph));
    if (delta == 0)
        return;
    for (qsizetype i = paragraph + 1; i <= paragraphs(); i += i & -i)
        m_tree[size_t(i - 1)] += delta;
}

qint64 LineCounts::before(qsizetype paragraph) const
{
    qint64 sum = 0;
    for (qsizetype i = qMin(paragraph, paragraphs()); i > 0; i -= i & -i)
        sum += m_tree[size_t(i - 1)];
    return sum;
}

std::pair<qsizetype, int> LineCounts::find(qint64 line) const
{
    if (m_tree.empty())
        return {0, 0};
    line = qBound<qint64>(0, line, total() - 1);
    qsizetype at = 0; // paragraphs wholly before the line
    qsizetype step = 1;
    while (step * 2 <= paragraphs())
        step *= 2;
    for (; step > 0; step /= 2) {
        if (at + step <= paragraphs() && m_tree[size_t(at + step - 1)] <= line) {
            at += step;
            line -= m_tree[size_t(at - 1)];
        }
    }
    return {at, int(line)};
}
