#pragma once

#include <QList>
#include <QString>

// The document's lines as the view lays them out: one paragraph per line of
// the text, and a line longer than kChunk characters broken for display
// every kChunk characters (one later where that would split a surrogate
// pair), so that no paragraph is long enough to freeze the layout. The
// breaks exist only here: offsets are offsets into the text.
class DisplayMap
{
public:
    static constexpr qsizetype kChunk = 2048;

    DisplayMap() = default;
    explicit DisplayMap(const QString &text);
    // The same map from the text's pieces, each cut after a line break and
    // scanned apart (side by side), in order.
    static QList<quint32> scanPiece(QStringView piece);
    DisplayMap(const QString &text, QList<QList<quint32>> pieces, const QList<qsizetype> &lengths);
    bool isOf(const QString &text) const { return m_text.isSharedWith(text); }

    // Always at least one paragraph (an empty text is one empty line).
    qsizetype count() const { return m_starts.size(); }
    qsizetype start(qsizetype paragraph) const { return m_starts[paragraph]; }
    // Where the paragraph's text ends, before its line break if it has one.
    qsizetype end(qsizetype paragraph) const;
    // The paragraph that shows the caret at offset (the later one at a break).
    qsizetype paragraphAt(qsizetype offset) const;

private:
    template <typename Visit> static void scan(QStringView text, Visit visit);

    QString m_text;             // shares the document's text
    QList<quint32> m_starts{0}; // shared between copies
};
