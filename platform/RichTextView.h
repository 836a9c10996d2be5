#pragma once

#include "DisplayMap.h"
#include "ReadingView.h"

#include <QPlainTextEdit>
#include <QTimer>

#include <optional>

class DocumentLoader;

// The document view: plain text with a caret that marks where reading
// stands. Positions are zero-based UTF-16 offsets into Text(), where each
// line break is one unit.
//
// Documents are decoded in the background and put into the view in pieces:
// the part around the caret first, the rest from the event loop, so the
// first page shows at once and the window keeps answering. Very long
// lines are broken for display only. Every operation keeps its meaning
// meanwhile, and none waits: Text() is the whole document shown (the old
// one until a new one is decoded), and a caret set beyond what the view
// holds yet takes effect when that part arrives (and reads back as set).
class RichTextView : public QPlainTextEdit, public ReadingView
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

    void setFontSize(int points);
    bool SetFocus();
    void Move(int left, int top, int width, int height);
    void scroll(ScrollStep step);

    // A new document is still being decoded (Text() is the old one).
    bool isDecoding() const override;
    QMetaObject::Connection onTextReady(QObject *context, std::function<void()> ready) override;
    // True until the whole document is in the view.
    bool isLoading() const;
    // Offsets in the view's layout for offsets in Text(), and back; -1 for a
    // part that is not in the view yet.
    int localPosition(qsizetype logical) const;
    qint32 logicalPosition(int local) const { return qint32(m_map.toLogical(local)); }

signals:
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // Text() is a new document now (it may still be going into the view).
    void textReady();
    // The whole of the current document is in the view.
    void loaded();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void announceCaretOnce();
    void showDocument(const QString &text);
    void feedStep();
    void placeCaret(qsizetype logicalAnchor, qsizetype logicalPosition, bool scrollIntoView);
    void applyPendingCaret();

    DocumentLoader *m_loader;
    QString m_text;
    DisplayMap m_map;
    std::optional<qint32> m_pendingCaret;
    QTimer m_feedTimer;
};
