#pragma once

#include <QString>

#include <vector>

// How the document's text stands in the view's text layout. The view holds
// text[begin, end) of the document (all of it once loading is done), and a
// line longer than kChunk characters is broken for display every kChunk
// characters, so that no block of the layout is long enough to freeze it.
// Offsets into the document ("logical") and into the layout ("local")
// convert both ways; the breaks exist only in the layout.
class DisplayMap
{
public:
    static constexpr qsizetype kChunk = 2048;

    // A new document, of which text[at, at) is shown: nothing yet.
    void reset(const QString &text, qsizetype at);

    qsizetype begin() const { return m_begin; }
    qsizetype end() const { return m_end; }

    // The layout text for text[end, to) put after what is shown, or for
    // text[from, begin) put before it; the shown range grows accordingly.
    QString append(qsizetype to);
    QString prepend(qsizetype from);

    // -1 for a logical offset outside what is shown.
    int toLocal(qsizetype logical) const;
    qsizetype toLogical(int local) const;

private:
    // Breaks before logical offsets in [from, to), in order.
    void breaksIn(qsizetype from, qsizetype to, std::vector<qsizetype> &out) const;
    QString withBreaks(qsizetype from, qsizetype to, const std::vector<qsizetype> &breaks) const;

    QString m_text; // shares the document's text
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
    std::vector<qsizetype> m_breaks; // logical offsets, in (m_begin, m_end)
};
