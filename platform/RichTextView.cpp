#include "RichTextView.h"

#include "DocumentLoader.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

namespace {

// Characters put into the view first, around the caret: a few screens,
// with the caret near their top, since laying out the lines between the
// top and the caret is what costs.
constexpr qsizetype kFirstPiece = 4 * 1024;
constexpr qsizetype kBeforeCaret = 1024;
// Characters added per step afterwards; one step stays well under 50 ms.
constexpr qsizetype kPiece = 128 * 1024;
// How far to look for a line break to cut at.
constexpr qsizetype kCutSearch = 64 * 1024;

// A cut point near `at`: just after a line break if one is close, and never
// inside a surrogate pair.
qsizetype cutNear(const QString &text, qsizetype at, bool searchForward)
{
    at = qBound<qsizetype>(0, at, text.size());
    if (at == 0 || at == text.size())
        return at;
    const QStringView view(text);
    if (searchForward) {
        const qsizetype found = view.sliced(at, qMin(text.size() - at, kCutSearch)).indexOf(u'\n');
        if (found >= 0)
            return at + found + 1;
    } else {
        const qsizetype from = qMax<qsizetype>(0, at - kCutSearch);
        const qsizetype found = view.sliced(from, at - from).lastIndexOf(u'\n');
        if (found >= 0)
            return from + found + 1;
    }
    if (text[at].isLowSurrogate())
        ++at;
    return at;
}

} // namespace

RichTextView::RichTextView(QWidget *parent)
    : QPlainTextEdit(parent), m_loader(new DocumentLoader(this))
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    document()->setUndoRedoEnabled(false);
    m_feedTimer.setInterval(0);
    connect(&m_feedTimer, &QTimer::timeout, this, &RichTextView::feedStep);
    connect(m_loader, &DocumentLoader::loaded, this, &RichTextView::showDocument);
    // Unreadable after all: the old content stays.
    connect(m_loader, &DocumentLoader::failed, this, [this] {
        m_pendingCaret.reset();
        if (isLoading())
            m_feedTimer.start();
    });
    announceCaretOnce();
}

// The text control tells assistive technology of every caret move in
// offsets of its own layout, and the view would tell it again; the view
// takes the control's place and tells it once, in offsets of the document.
void RichTextView::announceCaretOnce()
{
    for (QObject *child : children()) {
        if (child->metaObject()->indexOfSignal("cursorPositionChanged()") < 0
            || !disconnect(child, SIGNAL(cursorPositionChanged()), this,
                           SLOT(_q_cursorPositionChanged())))
            continue;
        connect(child, SIGNAL(cursorPositionChanged()), this, SIGNAL(cursorPositionChanged()));
        connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
            if (QAccessible::isActive() && !isDecoding()) {
                QAccessibleTextCursorEvent event(this, SelStart());
                QAccessible::updateAccessibility(&event);
            }
        });
    }
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
    m_feedTimer.stop(); // the old document is not worth filling in now
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
    showDocument(normalized);
}

void RichTextView::showDocument(const QString &text)
{
    m_feedTimer.stop();
    m_text = text;
    const qsizetype caret = qBound<qsizetype>(0, qsizetype(m_pendingCaret.value_or(0)),
                                              m_text.size());
    m_map.reset(m_text, cutNear(m_text, caret - kBeforeCaret, false));
    setPlainText(m_map.append(cutNear(m_text, qMax(caret, m_map.begin() + kFirstPiece), true)));
    m_pendingCaret.reset();
    placeCaret(caret, caret, true);
    emit textReady();
    if (isLoading())
        m_feedTimer.start();
    else
        emit loaded();
}

void RichTextView::feedStep()
{
    QTextDocument *doc = document();
    if (m_map.end() < m_text.size()) {
        const QTextCursor caret = textCursor();
        QTextCursor tail(doc);
        tail.movePosition(QTextCursor::End);
        // A caret at the very end would be pushed along by the new text.
        const bool caretAtEnd = caret.position() == tail.position()
                                || caret.anchor() == tail.position();
        const qsizetype anchor = m_map.toLogical(caret.anchor());
        const qsizetype position = m_map.toLogical(caret.position());
        tail.insertText(m_map.append(cutNear(m_text, m_map.end() + kPiece, true)));
        if (caretAtEnd)
            placeCaret(anchor, position, false);
    } else if (m_map.begin() > 0) {
        // The caret moves along with text inserted before it, so it keeps
        // its place in the document by itself. Keep the same lines in sight
        // while text goes in above them.
        QScrollBar *bar = verticalScrollBar();
        const QTextBlock top = firstVisibleBlock();
        const qsizetype topLogical = m_map.toLogical(top.position());
        const int linesIntoTop = bar->value() - top.firstLineNumber();
        QTextCursor head(doc);
        head.movePosition(QTextCursor::Start);
        head.insertText(m_map.prepend(cutNear(m_text, m_map.begin() - kPiece, false)));
        const QTextBlock sameTop = doc->findBlock(m_map.toLocal(topLogical));
        bar->setValue(sameTop.firstLineNumber() + linesIntoTop);
    }
    applyPendingCaret();
    if (!isLoading()) {
        m_feedTimer.stop();
        emit loaded();
    }
}

void RichTextView::placeCaret(qsizetype logicalAnchor, qsizetype logicalPosition,
                              bool scrollIntoView)
{
    const auto local = [this](qsizetype logical) {
        return m_map.toLocal(qBound(m_map.begin(), logical, m_map.end()));
    };
    QTextCursor cursor(document());
    cursor.setPosition(local(logicalAnchor));
    cursor.setPosition(local(logicalPosition), QTextCursor::KeepAnchor);
    if (scrollIntoView) {
        const QTextBlock block = cursor.block();
        const int first = firstVisibleBlock().blockNumber();
        if (block.blockNumber() < first || block.blockNumber() > first + 200)
            verticalScrollBar()->setValue(block.firstLineNumber());
    }
    setTextCursor(cursor);
    if (scrollIntoView)
        ensureCursorVisible();
}

void RichTextView::applyPendingCaret()
{
    if (m_pendingCaret && *m_pendingCaret >= m_map.begin() && *m_pendingCaret <= m_map.end()) {
        const qint32 caret = *m_pendingCaret;
        m_pendingCaret.reset();
        placeCaret(caret, caret, true);
    }
}

bool RichTextView::isDecoding() const
{
    return m_loader->isBusy();
}

QMetaObject::Connection RichTextView::onTextReady(QObject *context, std::function<void()> ready)
{
    return connect(this, &RichTextView::textReady, context, std::move(ready));
}

bool RichTextView::isLoading() const
{
    return isDecoding() || m_map.begin() > 0 || m_map.end() < m_text.size();
}

int RichTextView::localPosition(qsizetype logical) const
{
    return isDecoding() ? -1 : m_map.toLocal(logical);
}

qint32 RichTextView::SelStart() const
{
    if (m_pendingCaret)
        return *m_pendingCaret;
    if (isDecoding())
        return 0;
    return qint32(m_map.toLogical(textCursor().position()));
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
    if (caret >= m_map.begin() && caret <= m_map.end()) {
        m_pendingCaret.reset();
        placeCaret(caret, caret, true);
    } else {
        m_pendingCaret = qint32(caret);
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

void RichTextView::keyPressEvent(QKeyEvent *event)
{
    emit KeyDown(event->key(), event->modifiers());
    // The space bar is fully handled by the KeyDown listener (next page);
    // passing it on would page a second time, or back with Shift.
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void RichTextView::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    // The caret is the reading bookmark: draw it also without focus, when
    // the text control hides it.
    if (!hasFocus()) {
        const QRect r = cursorRect();
        QPainter painter(viewport());
        painter.fillRect(QRect(r.left(), r.top(), qMax(2, cursorWidth()), r.height()),
                         palette().text());
    }
}
