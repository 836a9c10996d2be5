#include "RichTextView.h"

#include "TextDecoding.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Files up to this size are decoded at once, bigger ones in the background.
constexpr qint64 kDecodeInlineBytes = 4 * 1024 * 1024;
// Characters put into the view first, around the caret: a few screens,
// with the caret near their top, since laying out the lines between the
// top and the caret is what costs.
constexpr qsizetype kFirstPiece = 16 * 1024;
constexpr qsizetype kBeforeCaret = 1024;
// Characters added per step afterwards; one step stays well under 50 ms.
constexpr qsizetype kPiece = 256 * 1024;
// How far to look for a line break to cut at.
constexpr qsizetype kCutSearch = 64 * 1024;

// A cut point near `at`: just after a line break if one is close, and never
// inside a surrogate pair.
qsizetype cutNear(const QString &text, qsizetype at, bool searchForward)
{
    at = qBound<qsizetype>(0, at, text.size());
    if (at == 0 || at == text.size())
        return at;
    if (searchForward) {
        const qsizetype limit = qMin(text.size(), at + kCutSearch);
        for (qsizetype i = at; i < limit; ++i) {
            if (text[i] == u'\n')
                return i + 1;
        }
    } else {
        const qsizetype limit = qMax<qsizetype>(0, at - kCutSearch);
        for (qsizetype i = at - 1; i >= limit; --i) {
            if (text[i] == u'\n')
                return i + 1;
        }
    }
    if (text[at].isLowSurrogate())
        ++at;
    return at;
}

} // namespace

RichTextView::RichTextView(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    document()->setUndoRedoEnabled(false);
    m_feedTimer.setInterval(0);
    connect(&m_feedTimer, &QTimer::timeout, this, &RichTextView::feedStep);
    connect(&m_decoding, &QFutureWatcher<Decoded>::finished, this, &RichTextView::finishDecoding);
    // Assistive technology hears of caret moves in offsets of the whole text.
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (QAccessible::isActive() && !m_decodePending) {
            QAccessibleTextCursorEvent event(this, SelStart());
            QAccessible::updateAccessibility(&event);
        }
    });
}

int RichTextView::localPosition(qsizetype logical) const
{
    if (m_decodePending || logical < m_loadedBegin || logical > m_loadedEnd)
        return -1;
    return int(logical - m_loadedBegin);
}

RichTextView::~RichTextView()
{
    cancelLoading();
}

bool RichTextView::LoadFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxFileBytes)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;

    if (file.size() <= kDecodeInlineBytes) {
        QString text;
        if (!TextDecoding::decodeDevice(file, text))
            return false;
        cancelLoading();
        m_pendingCaret.reset();
        showDocument(std::move(text));
        return true;
    }

    file.close();
    cancelLoading();
    m_pendingCaret.reset();
    const quint64 generation = ++m_generation;
    m_decodePending = true;
    m_decoding.setFuture(QtConcurrent::run([path, generation] {
        Decoded result;
        result.generation = generation;
        QFile source(path);
        result.ok = source.open(QIODevice::ReadOnly)
                    && TextDecoding::decodeDevice(source, result.text);
        return result;
    }));
    return true;
}

void RichTextView::cancelLoading()
{
    ++m_generation;
    m_decodePending = false;
    m_feedTimer.stop();
}

void RichTextView::finishDecoding()
{
    QFuture<Decoded> future = m_decoding.future();
    if (!future.isFinished() || future.resultCount() == 0)
        return;
    Decoded result = future.takeResult();
    // Let go of the text also when the load was given up meanwhile.
    m_decoding.setFuture(QFuture<Decoded>());
    if (!m_decodePending || result.generation != m_generation)
        return;
    m_decodePending = false;
    if (!result.ok) {
        // Unreadable after all: the old content stays.
        m_pendingCaret.reset();
        return;
    }
    showDocument(std::move(result.text));
}

QString RichTextView::Text()
{
    if (m_decodePending) {
        m_decoding.waitForFinished();
        finishDecoding();
    }
    return m_text;
}

void RichTextView::setText(const QString &text)
{
    cancelLoading();
    m_pendingCaret.reset();
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(u'\r', u'\n');
    normalized.replace(QChar(0), QChar::ReplacementCharacter);
    showDocument(std::move(normalized));
}

void RichTextView::showDocument(QString text)
{
    m_feedTimer.stop();
    m_text = std::move(text);
    const qsizetype caret = qBound<qsizetype>(0, qsizetype(m_pendingCaret.value_or(0)), m_text.size());

    m_loadedBegin = cutNear(m_text, caret - kBeforeCaret, false);
    m_loadedEnd = cutNear(m_text, qMax(caret, m_loadedBegin + kFirstPiece), true);
    setPlainText(m_text.mid(m_loadedBegin, m_loadedEnd - m_loadedBegin));

    m_pendingCaret.reset();
    placeCaret(caret, caret, true);
    if (isLoading())
        m_feedTimer.start();
    else
        emit loaded();
}

void RichTextView::feedStep()
{
    QTextDocument *doc = document();
    if (m_loadedEnd < m_text.size()) {
        const QTextCursor caret = textCursor();
        const qsizetype anchor = caret.anchor() + m_loadedBegin;
        const qsizetype position = caret.position() + m_loadedBegin;
        QTextCursor tail(doc);
        tail.movePosition(QTextCursor::End);
        // A caret at the very end would be pushed along by the new text.
        const bool caretAtEnd = caret.position() == tail.position()
                                || caret.anchor() == tail.position();
        const qsizetype end = cutNear(m_text, m_loadedEnd + kPiece, true);
        tail.insertText(m_text.mid(m_loadedEnd, end - m_loadedEnd));
        m_loadedEnd = end;
        if (caretAtEnd)
            placeCaret(anchor, position, false);
    } else if (m_loadedBegin > 0) {
        // The caret moves along with text inserted before it, so it keeps
        // its place in the document by itself.
        // Keep the same lines in sight while text goes in above them.
        QScrollBar *bar = verticalScrollBar();
        const QTextBlock top = firstVisibleBlock();
        const qsizetype topLogical = top.position() + m_loadedBegin;
        const int linesIntoTop = bar->value() - top.firstLineNumber();

        const qsizetype begin = cutNear(m_text, m_loadedBegin - kPiece, false);
        QTextCursor head(doc);
        head.movePosition(QTextCursor::Start);
        head.insertText(m_text.mid(begin, m_loadedBegin - begin));
        m_loadedBegin = begin;

        const QTextBlock sameTop = doc->findBlock(int(topLogical - m_loadedBegin));
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
        return int(qBound(m_loadedBegin, logical, m_loadedEnd) - m_loadedBegin);
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
    if (m_pendingCaret && *m_pendingCaret >= m_loadedBegin && *m_pendingCaret <= m_loadedEnd) {
        const qint32 caret = *m_pendingCaret;
        m_pendingCaret.reset();
        placeCaret(caret, caret, true);
    }
}

bool RichTextView::isLoading() const
{
    return m_decodePending || m_loadedBegin > 0 || m_loadedEnd < m_text.size();
}

qint32 RichTextView::SelStart() const
{
    if (m_pendingCaret)
        return *m_pendingCaret;
    if (m_decodePending)
        return 0;
    return qint32(textCursor().position() + m_loadedBegin);
}

void RichTextView::setSelStart(qint32 position)
{
    if (position < 0)
        return;   // refused, as an invalid property value
    if (m_decodePending) {
        m_pendingCaret = position;
        return;
    }
    const qsizetype caret = qMin<qsizetype>(position, m_text.size());
    if (caret >= m_loadedBegin && caret <= m_loadedEnd) {
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
    case SB_LINEDOWN:
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case SB_PAGEUP:
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case SB_PAGEDOWN:
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
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
