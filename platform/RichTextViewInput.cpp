// The document view's drawing, and what it does with the mouse and keys.
#include "RichTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>

namespace {
constexpr int kMargin = 4;
} // namespace

// visit(paragraph, layout, top) for the paragraphs in sight, top to bottom;
// false from visit stops.
template <typename Visit> void RichTextView::forEachVisible(Visit visit) const
{
    const QTextLayout &first = m_pages.layout(m_top.paragraph);
    qreal y = kMargin - first.lineAt(m_top.line).y();
    const int height = viewport()->height();
    for (qsizetype p = m_top.paragraph; p < m_pages.map().count() && y < height; ++p) {
        const QTextLayout &layout = m_pages.layout(p);
        if (!visit(p, layout, y))
            return;
        const QTextLine last = layout.lineAt(layout.lineCount() - 1);
        y += last.y() + last.height();
    }
}

void RichTextView::paintEvent(QPaintEvent *)
{
    m_pages.trim();
    QPainter painter(viewport());
    const qsizetype selFrom = qMin(m_anchor, m_position), selTo = qMax(m_anchor, m_position);
    QTextLayout::FormatRange selected;
    selected.format.setBackground(palette().highlight());
    selected.format.setForeground(palette().highlightedText());
    painter.setPen(palette().text().color());
    forEachVisible([&](qsizetype p, const QTextLayout &layout, qreal y) {
        const qsizetype start = m_pages.map().start(p);
        const qsizetype from = qMax(selFrom, start), to = qMin(selTo, m_pages.map().end(p));
        QList<QTextLayout::FormatRange> selections;
        if (from < to) {
            selected.start = int(from - start);
            selected.length = int(to - from);
            selections << selected;
        }
        layout.draw(&painter, QPointF(kMargin, y), selections);
        return true;
    });
    // The caret is the reading bookmark: drawn also without focus.
    const QRect caret = cursorRect();
    painter.fillRect(QRect(caret.left(), caret.top(), 2, caret.height()), palette().text());
    // A page is as many lines as are in sight now.
    if (const int page = countVisibleLines(); page != m_page) {
        m_page = page;
        syncScrollBar();
    }
}

QRect RichTextView::cursorRect(qsizetype offset) const
{
    offset = qBound<qsizetype>(0, offset, m_text.size());
    const qsizetype p = m_pages.map().paragraphAt(offset);
    const QTextLayout &layout = m_pages.layout(p);
    const QTextLine line = layout.lineAt(m_pages.lineOf(p, offset));
    const int x = kMargin + qRound(line.cursorToX(int(offset - m_pages.map().start(p))));
    // In sight: where it is drawn; elsewhere, as far off as its lines are.
    std::optional<qreal> top;
    forEachVisible([&](qsizetype q, const QTextLayout &, qreal y) {
        if (q == p)
            top = y;
        return q < p;
    });
    if (!top) {
        const qreal lineHeight = layout.lineAt(0).height();
        top = kMargin + (m_pages.lines().before(p) - topLine()) * lineHeight;
    }
    return QRect(x, qRound(*top + line.y()), 1, qRound(line.height()));
}

qsizetype RichTextView::offsetAt(QPoint point) const
{
    qsizetype found = -1, lastEnd = 0;
    forEachVisible([&](qsizetype p, const QTextLayout &layout, qreal y) {
        const qsizetype start = m_pages.map().start(p);
        lastEnd = m_pages.map().end(p);
        for (int i = p == m_top.paragraph ? m_top.line : 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            if (point.y() < y + line.y() + line.height()) {
                found = start + line.xToCursor(point.x() - kMargin);
                return false;
            }
        }
        return true;
    });
    return found >= 0 ? found : lastEnd;
}

void RichTextView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const qsizetype at = offsetAt(event->position().toPoint());
    m_column = -1;
    placeCaret(event->modifiers() & Qt::ShiftModifier ? m_anchor : at, at, false);
    m_dragging = true;
}

void RichTextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    const QPoint at = event->position().toPoint();
    if (at.y() < 0)
        scrollLines(-1);
    else if (at.y() >= viewport()->height())
        scrollLines(1);
    placeCaret(m_anchor, offsetAt(at), false);
}

void RichTextView::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

// A double click selects the word under the mouse.
void RichTextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const qsizetype at = offsetAt(event->position().toPoint());
    const qsizetype p = m_pages.map().paragraphAt(at), start = m_pages.map().start(p);
    const QString text = m_text.mid(start, m_pages.map().end(p) - start);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(at - start);
    const qsizetype to = words.toNextBoundary();
    const qsizetype from = words.toPreviousBoundary();
    if (from >= 0 && to > from)
        placeCaret(start + from, start + to, false);
}

// From an offset, `lines` screen lines up or down, near the same place
// across as where these moves began.
qsizetype RichTextView::lineMove(qsizetype from, int lines)
{
    const DisplayMap &map = m_pages.map();
    qsizetype p = map.paragraphAt(from);
    int i = m_pages.lineOf(p, from);
    if (m_column < 0)
        m_column = m_pages.layout(p).lineAt(i).cursorToX(int(from - map.start(p)));
    const qreal x = m_column;
    for (; lines > 0; --lines) {
        if (i + 1 < m_pages.layout(p).lineCount())
            ++i;
        else if (p + 1 < map.count())
            p += 1, i = 0;
        else
            return m_text.size();
    }
    for (; lines < 0; ++lines) {
        if (i > 0)
            --i;
        else if (p > 0)
            p -= 1, i = m_pages.layout(p).lineCount() - 1;
        else
            return 0;
    }
    return map.start(p) + m_pages.layout(p).lineAt(i).xToCursor(x);
}

// Where a key takes the caret; -1 for a key that does not move it.
qsizetype RichTextView::keyTarget(int key, Qt::KeyboardModifiers modifiers)
{
    const DisplayMap &map = m_pages.map();
    const qsizetype p = map.paragraphAt(m_position);
    const qsizetype start = map.start(p), local = m_position - start;
    const QTextLayout &layout = m_pages.layout(p);
    const bool ctrl = modifiers & Qt::ControlModifier;
    const auto mode = ctrl ? QTextLayout::SkipWords : QTextLayout::SkipCharacters;
    const QTextLine line = layout.lineAt(m_pages.lineOf(p, m_position));
    switch (key) {
    case Qt::Key_Left:
        if (local > 0)
            return start + layout.previousCursorPosition(int(local), mode);
        if (p == 0)
            return 0;
        if (map.end(p - 1) == start) // a display break: no character between
            return map.start(p - 1)
                   + m_pages.layout(p - 1).previousCursorPosition(int(start - map.start(p - 1)),
                                                                  mode);
        return map.end(p - 1);
    case Qt::Key_Right:
        if (m_position < map.end(p))
            return start + layout.nextCursorPosition(int(local), mode);
        return p + 1 < map.count() ? map.start(p + 1) : m_position;
    case Qt::Key_Up: return lineMove(m_position, -1);
    case Qt::Key_Down: return lineMove(m_position, 1);
    case Qt::Key_PageUp: return lineMove(m_position, -m_page);
    case Qt::Key_PageDown: return lineMove(m_position, m_page);
    case Qt::Key_Home: return ctrl ? 0 : start + line.textStart();
    case Qt::Key_End:
        return ctrl ? m_text.size()
                    : qMin(map.end(p), start + line.textStart() + line.textLength());
    default: return -1;
    }
}

void RichTextView::keyPressEvent(QKeyEvent *event)
{
    emit KeyDown(event->key(), event->modifiers());
    event->accept();
    // The space bar is fully handled by the KeyDown listener (next page).
    if (event->matches(QKeySequence::SelectAll)) {
        placeCaret(0, m_text.size(), true);
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (const qsizetype to = keyTarget(event->key(), event->modifiers()); to >= 0) {
        const int key = event->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_PageUp
            && key != Qt::Key_PageDown)
            m_column = -1;
        if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown)
            scrollLines(event->key() == Qt::Key_PageUp ? -m_page : m_page);
        placeCaret(event->modifiers() & Qt::ShiftModifier ? m_anchor : to, to, true);
    } else {
        event->ignore();
    }
}

void RichTextView::copy() const
{
    if (m_anchor != m_position)
        QApplication::clipboard()->setText(
            m_text.mid(qMin(m_anchor, m_position), qAbs(m_anchor - m_position)));
}

// The text control's own menu of a read-only text, in Qt's translation.
void RichTextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QCoreApplication::translate("QWidgetTextControl", "&Copy"),
                                         this, &RichTextView::copy);
    copyAction->setEnabled(m_anchor != m_position);
    menu.addSeparator();
    menu.addAction(QCoreApplication::translate("QWidgetTextControl", "Select All"), this,
                   [this] { placeCaret(0, m_text.size(), false); });
    menu.exec(event->globalPos());
}
