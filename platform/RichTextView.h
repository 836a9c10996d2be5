#pragma once

#include "ParagraphLayouts.h"
#include "ReadingView.h"

#include <QAbstractScrollArea>

#include <optional>

class DocumentLoader;
class GlyphWarmer;

// The document view: plain text with a caret that marks where reading
// stands, selectable by mouse and keyboard but not editable. Positions are
// zero-based UTF-16 offsets into Text(), where each line break is one unit.
//
// The text is held once, with an index of its lines; only the paragraphs
// in sight are laid out, so a document of any size is whole in the view as
// soon as it is decoded (in the background: the window never waits). Very
// long lines are broken for display only. While a new document decodes,
// Text() is the old one, and a caret set meanwhile takes effect on the new
// one (and reads back as set).
class RichTextView : public QAbstractScrollArea, public ReadingView
{
    Q_OBJECT

public:
    // wParam values of the scroll message.
    enum ScrollStep { SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3 };

    explicit RichTextView(QWidget *parent = nullptr);
    ~RichTextView() override;

    // Replaces the content with the decoded file, once it is decoded. False,
    // and the view left as it was, when the file cannot be opened or is too
    // big. A file that turns out unreadable leaves the old content too.
    bool LoadFile(const QString &path);

    const QString &Text() const override { return m_text; }
    void setText(const QString &text);

    qint32 SelStart() const;
    void setSelStart(qint32 position) override;
    // The selection, from the anchor to the caret; empty at the caret.
    qsizetype selectionAnchor() const { return m_anchor; }

    void setFontSize(int points);
    bool SetFocus();
    void Move(int left, int top, int width, int height);
    void scroll(ScrollStep step);

    // A new document is still being decoded (Text() is the old one).
    bool isDecoding() const override;
    QMetaObject::Connection onTextReady(QObject *context, std::function<void()> ready) override;
    // True until the document is in the view: the same as decoding.
    bool isLoading() const { return isDecoding(); }
    // Offsets in the view's layout for offsets in Text(), and back: the
    // same, since display breaks take no place; -1 while decoding.
    int localPosition(qsizetype logical) const;
    qint32 logicalPosition(int local) const { return local; }

    // In the viewport's coordinates: the caret's box at an offset (at the
    // caret without one), and the offset nearest to a point.
    QRect cursorRect() const { return cursorRect(m_position); }
    QRect cursorRect(qsizetype offset) const;
    qsizetype offsetAt(QPoint point) const;

signals:
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void cursorPositionChanged();
    // Text() is a new document now.
    void textReady();
    // The whole of the current document is in the view (with textReady).
    void loaded();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Top {
        qsizetype paragraph = 0;
        int line = 0;
    };
    template <typename Visit> void forEachVisible(Visit visit) const;
    void showDocument(const QString &text, const DisplayMap &map);
    void placeCaret(qsizetype anchor, qsizetype position, bool scrollIntoView);
    void ensureVisible(qsizetype offset);
    qint64 topLine() const;
    qint64 lineAt(qsizetype offset) const;
    void setTopLine(qint64 line);
    void scrollLines(qint64 delta);
    int countVisibleLines() const;
    void relayout();
    void syncScrollBar();
    qsizetype keyTarget(int key, Qt::KeyboardModifiers modifiers);
    qsizetype lineMove(qsizetype from, int lines);
    void copy() const;

    DocumentLoader *m_loader;
    GlyphWarmer *m_glyphs;
    QString m_text;
    mutable ParagraphLayouts m_pages;
    qsizetype m_anchor = 0;
    qsizetype m_position = 0;
    std::optional<qint32> m_pendingCaret;
    Top m_top;
    bool m_syncing = false;
    bool m_endPending = false; // the last lines not laid out yet
    int m_page = 1;            // screen lines in sight, as last counted
    bool m_dragging = false;
    qreal m_column = -1; // where up and down keep the caret across
};
