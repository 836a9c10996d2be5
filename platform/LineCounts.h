#pragma once

#include <QtGlobal>

#include <vector>

// How many screen lines each paragraph takes, as far as it has been laid
// out (one line until then), with the lines before any paragraph and the
// paragraph at any line found in logarithmic time.
class LineCounts
{
public:
    // Every paragraph one line.
    void reset(qsizetype paragraphs);
    qsizetype paragraphs() const { return qsizetype(m_tree.size()); }

    void set(qsizetype paragraph, int lines);
    int at(qsizetype paragraph) const;
    // Lines before the paragraph.
    qint64 before(qsizetype paragraph) const;
    qint64 total() const { return before(paragraphs()); }
    // The paragraph holding the line, and the line's place in it; a line
    // past the end gives the last paragraph's last line.
    std::pair<qsizetype, int> find(qint64 line) const;

private:
    std::vector<qint32> m_tree; // a Fenwick tree of line counts
};
