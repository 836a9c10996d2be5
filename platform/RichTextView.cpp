#include "RichTextView.h"

#include "DocumentLoader.h"
#include "GlyphWarmer.h"

#include <QAccessible>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

namespace {
// Room between the viewport's edges and the text.
constexpr int kMargin = 4;
} // namespace

RichTextView::RichTextView(QWidget *parent)
    : QAbstractScrollArea(parent),
      m_loader(new DocumentLoader(this)),
      m_glyphs(new GlyphWarmer(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_loader, &DocumentLoader::loaded, this, &RichTextView::showDocument);
    // Unreadable after all: the old content stays.
    connect(m_loader, &DocumentLoader::failed, this, [this] { m_pendingCaret.reset(); });
    m_pages.setDocument(m_text, DisplayMap(m_text));
    relayout();
}

RichTextView::~RichTextView() = default;

bool RichTextView::LoadFile(const QString &path)
{
    const std::optional<qint32> caret = m_pendingCaret;
    m_pendingCaret.reset();
    if (!m_loader->load(path)) {
        m_pendingCaret = caret;
        return false;
    }
    return true;
}

void RichTextView::setText(const QString &text)
{
    m_loader->cancel();
    m_pendingCaret.reset();
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(u'\r', u'\n');
    normalized.replace(QChar(0), QChar::ReplacementCharacter);
    showDocument(normalized, DisplayMap(normalized));
}

void RichTextView::showDocument(const QString &text, const DisplayMap &map)
{
    m_text = text;
    m_pages.setDocument(m_text, map);
    const qsizetype caret = qBound<qsizetype>(0, qsizetype(m_pendingCaret.value_or(0)),
                                              m_text.size());
    m_pendingCaret.reset();
    // The caret's paragraph at the top, and only the lines in sight laid
    // out before the first page shows; the last lines, which fix the scroll
    // bar's end, right after.
    m_top = {map.paragraphAt(caret), 0};
    m_anchor = m_position = -1; // so that the caret counts as moved
    m_endPending = true;
    QTimer::singleShot(0, this, [this] {
        m_endPending = false;
        syncScrollBar();
    });
    relayout();
    placeCaret(caret, caret, true);
    m_glyphs->warm(m_text, font());
    emit textReady();
    emit loaded();
}

bool RichTextView::isDecoding() const
{
    return m_loader->isBusy();
}

QMetaObject::Connection RichTextView::onTextReady(QObject *context, std::function<void()> ready)
{
    return connect(this, &RichTextView::textReady, context, std::move(ready));
}

int RichTextView::localPosition(qsizetype logical) const
{
    return isDecoding() ? -1 : int(qBound<qsizetype>(0, logical, m_text.size()));
}

qint32 RichTextView::SelStart() const
{
    if (m_pendingCaret)
        return *m_pendingCaret;
    if (isDecoding())
        return 0;
    return qint32(m_position);
}

void RichTextView::setSelStart(qint32 position)
{
    if (position < 0)
        return; // refused, as an invalid property value
    if (isDecoding()) {
        m_pendingCaret = position;
        return;
    }
    const qsizetype caret = qMin<qsizetype>(position, m_text.size());
    m_column = -1;
    placeCaret(caret, caret, true);
}

void RichTextView::placeCaret(qsizetype anchor, qsizetype position, bool scrollIntoView)
{
    const bool moved = position != m_position;
    m_anchor = anchor;
    m_position = position;
    if (scrollIntoView)
        ensureVisible(position);
    viewport()->update();
    if (!moved)
        return;
    emit cursorPositionChanged();
    // Assistive technology learns of every move, in offsets of the document.
    if (QAccessible::isActive() && !isDecoding()) {
        QAccessibleTextCursorEvent event(this, int(position));
        QAccessible::updateAccessibility(&event);
    }
}

void RichTextView::setFontSize(int points)
{
    if (points <= 0)
        return;
    QFont f = font();
    f.setPointSize(points);
    setFont(f);
}

bool RichTextView::SetFocus()
{
    if (!isVisible() || !window()->isVisible())
        return false;
    setFocus(Qt::OtherFocusReason);
    return true;
}

void RichTextView::Move(int left, int top, int width, int height)
{
    if (width < 0 || height < 0)
        return;
    setGeometry(left, top, width, height);
}

void RichTextView::scroll(ScrollStep step)
{
    QScrollBar *bar = verticalScrollBar();
    switch (step) {
    case SB_LINEDOWN: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case SB_PAGEUP: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case SB_PAGEDOWN: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    }
}

// Scrolling: the top of the view is a screen line of a paragraph; the
// scroll bar counts screen lines, one per paragraph not laid out yet.

qint64 RichTextView::topLine() const
{
    return m_pages.lines().before(m_top.paragraph) + m_top.line;
}

qint64 RichTextView::lineAt(qsizetype offset) const
{
    const qsizetype p = m_pages.map().paragraphAt(offset);
    const int line = m_pages.lineOf(p, offset);
    return m_pages.lines().before(p) + line;
}

void RichTextView::setTopLine(qint64 line)
{
    const auto [paragraph, inside] = m_pages.lines().find(line);
    m_top = {paragraph, qMin(inside, m_pages.layout(paragraph).lineCount() - 1)};
    m_top.line = qMax(0, m_top.line);
    syncScrollBar();
    viewport()->update();
}

// Line by line, laying out what it passes, so that a page is a page also
// over paragraphs never seen before.
void RichTextView::scrollLines(qint64 delta)
{
    Top top = m_top;
    const qsizetype count = m_pages.map().count();
    for (; delta > 0; --delta) {
        if (top.line + 1 < m_pages.layout(top.paragraph).lineCount())
            ++top.line;
        else if (top.paragraph + 1 < count)
            top = {top.paragraph + 1, 0};
    }
    for (; delta < 0; ++delta) {
        if (top.line > 0)
            --top.line;
        else if (top.paragraph > 0)
            top = {top.paragraph - 1, qMax(0, m_pages.layout(top.paragraph - 1).lineCount() - 1)};
    }
    m_top = top;
    syncScrollBar();
    viewport()->update();
}

void RichTextView::scrollContentsBy(int, int)
{
    if (m_syncing)
        return;
    const qint64 delta = verticalScrollBar()->value() - topLine();
    // Near moves line by line; far ones (the bar dragged) straight there.
    if (qAbs(delta) <= 4LL * m_page)
        scrollLines(delta);
    else
        setTopLine(verticalScrollBar()->value());
}

// The screen lines that fit wholly in the viewport, from the top.
int RichTextView::countVisibleLines() const
{
    const int height = viewport()->height() - kMargin;
    int lines = 0;
    qreal y = 0;
    for (qsizetype p = m_top.paragraph; p < m_pages.map().count() && y < height; ++p) {
        const QTextLayout &layout = m_pages.layout(p);
        for (int i = p == m_top.paragraph ? m_top.line : 0; i < layout.lineCount(); ++i) {
            y += layout.lineAt(i).height();
            if (y > height)
                return qMax(1, lines);
            ++lines;
        }
    }
    // Past the end: as many more lines as would fit, of the last height.
    const QTextLayout &last = m_pages.layout(m_pages.map().count() - 1);
    const qreal lineHeight = qMax<qreal>(1, last.lineAt(last.lineCount() - 1).height());
    return qMax(1, lines + int((height - y) / lineHeight));
}

void RichTextView::syncScrollBar()
{
    m_syncing = true;
    QScrollBar *bar = verticalScrollBar();
    const int page = m_page;
    const bool nearEnd = m_top.paragraph + 2 * page >= m_pages.map().count();
    const qint64 total = m_endPending && !nearEnd ? m_pages.lines().total()
                                                  : m_pages.totalLines(page);
    const qint64 last = qMax<qint64>(0, total - page);
    bar->setRange(0, int(qMin<qint64>(last, INT_MAX)));
    bar->setPageStep(page);
    bar->setSingleStep(1);
    if (topLine() > last) {
        const auto [paragraph, inside] = m_pages.lines().find(last);
        m_top = {paragraph, inside};
    }
    bar->setValue(int(topLine()));
    m_syncing = false;
}

void RichTextView::relayout()
{
    m_pages.trim();
    m_pages.setGeometry(font(), viewport()->width() - 2 * kMargin);
    if (m_top.paragraph >= m_pages.map().count())
        m_top = Top();
    m_top.line = qMin(m_top.line, m_pages.layout(m_top.paragraph).lineCount() - 1);
    m_page = countVisibleLines();
    syncScrollBar();
    viewport()->update();
}

void RichTextView::ensureVisible(qsizetype offset)
{
    const qsizetype p = m_pages.map().paragraphAt(offset);
    const int page = m_page;
    // Lines between the top and a near caret (in sight, mostly) are counted
    // exactly, up to two pages of them; a caret beyond, or more paragraphs
    // away than two pages hold, is far.
    if (p - m_top.paragraph <= 2 * page) {
        qint64 between = -m_top.line;
        for (qsizetype q = m_top.paragraph; q < p && between <= 2 * page; ++q)
            between += m_pages.layout(q).lineCount();
    }
    const qint64 line = lineAt(offset);
    const qint64 top = topLine();
    if (line < top)
        setTopLine(line);
    else if (line >= top + page)
        setTopLine(line < top + 2 * page ? line - page + 1 : line);
}

void RichTextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void RichTextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        relayout();
        m_glyphs->warm(m_text, font());
    }
}
