#include "ParagraphLayouts.h"

#include <QTextOption>

namespace {
constexpr size_t kKeptLayouts = 512;
}

void ParagraphLayouts::setDocument(const QString &text, const DisplayMap &map)
{
    m_text = text;
    m_map = map;
    clear();
}

void ParagraphLayouts::setGeometry(const QFont &font, int width)
{
    width = qMax(1, width);
    if (font == m_font && width == m_width)
        return;
    m_font = font;
    m_width = width;
    clear();
}

void ParagraphLayouts::clear()
{
    m_layouts.clear();
    m_lines.reset(m_map.count());
}

void ParagraphLayouts::trim()
{
    if (m_layouts.size() > kKeptLayouts)
        m_layouts.clear();
}

const QTextLayout &ParagraphLayouts::layout(qsizetype paragraph)
{
    std::unique_ptr<QTextLayout> &slot = m_layouts[paragraph];
    if (slot)
        return *slot;
    const qsizetype start = m_map.start(paragraph);
    slot = std::make_unique<QTextLayout>(m_text.mid(start, m_map.end(paragraph) - start), m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    slot->setTextOption(option);
    slot->setCacheEnabled(true);
    slot->beginLayout();
    qreal y = 0;
    int count = 0;
    for (QTextLine line = slot->createLine(); line.isValid(); line = slot->createLine()) {
        line.setLineWidth(m_width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        ++count;
    }
    slot->endLayout();
    m_lines.set(paragraph, qMax(1, count));
    return *slot;
}

int ParagraphLayouts::lineOf(qsizetype paragraph, qsizetype offset)
{
    const QTextLayout &l = layout(paragraph);
    const int local = int(offset - m_map.start(paragraph));
    for (int i = l.lineCount() - 1; i > 0; --i) {
        if (l.lineAt(i).textStart() <= local)
            return i;
    }
    return 0;
}

qint64 ParagraphLayouts::totalLines(int atEnd)
{
    int counted = 0;
    for (qsizetype p = m_map.count() - 1; p >= 0 && counted < atEnd; --p)
        counted += qMax(1, layout(p).lineCount());
    return m_lines.total();
}
