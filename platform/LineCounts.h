#pragma once

#include <QtGlobal>

#include <map>
#include <vector>

// How many screen lines each paragraph takes, as far as it has been laid
// out (one line until then), with the lines before any paragraph and the
// paragraph at any line found in logarithmic time. Millions of paragraphs
// cost little: sums are kept per group of paragraphs, and only paragraphs
// of more than one line are noted one by one.
class LineCounts
{
public:
    // Every paragraph one line.
    void reset(qsizetype paragraphs);
    qsizetype paragraphs() const { return m_paragraphs; }

    void set(qsizetype paragraph, int lines);
    int at(qsizetype paragraph) const;
    // Lines before the paragraph.
    qint64 before(qsizetype paragraph) const;
    qint64 total() const { return linesBeforeGroup(qsizetype(m_tree.size())); }
    // The paragraph holding the line, and the line's place in it; a line
    // past the end gives the last paragraph's last line.
    std::pair<qsizetype, int> find(qint64 line) const;

private:
    static constexpr qsizetype kGroup = 64;
    qint64 linesBeforeGroup(qsizetype group) const;

    qsizetype m_paragraphs = 0;
    std::vector<qint32> m_tree;          // a Fenwick tree of the lines of each group
    std::map<qsizetype, qint32> m_extra; // lines beyond the first, where there are
};
