#pragma once

#include "DisplayMap.h"
#include "LineCounts.h"

#include <QFont>
#include <QTextLayout>

#include <memory>
#include <unordered_map>

// The document's paragraphs laid out at the view's font and width, only
// those that are asked for (the ones in sight and near the caret), with
// the screen lines of each that has been laid out.
class ParagraphLayouts
{
public:
    void setDocument(const QString &text, const DisplayMap &map);
    // Lays everything out anew when the font or the width changes.
    void setGeometry(const QFont &font, int width);

    const DisplayMap &map() const { return m_map; }
    const LineCounts &lines() const { return m_lines; }
    // Valid until the next trim().
    const QTextLayout &layout(qsizetype paragraph);
    // Lets go of layouts when many have piled up.
    void trim();

    // The paragraph's screen line that shows the caret at offset.
    int lineOf(qsizetype paragraph, qsizetype offset);
    // The total screen lines, having laid out the last `atEnd` of them.
    qint64 totalLines(int atEnd);

private:
    void clear();

    QString m_text;
    DisplayMap m_map;
    LineCounts m_lines;
    QFont m_font;
    int m_width = 1;
    std::unordered_map<qsizetype, std::unique_ptr<QTextLayout>> m_layouts;
};
