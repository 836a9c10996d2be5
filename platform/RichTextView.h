#pragma once

#include <QFutureWatcher>
#include <QPlainTextEdit>
#include <QTimer>

#include <optional>

// The document view: plain text with a caret that marks where reading
// stands. Positions are zero-based UTF-16 offsets into Text(), where each
// line break is one unit.
//
// Big documents are put into the view in pieces: the part around the caret
// first, the rest from the event loop, so the first page shows at once and
// the window keeps answering. Every operation keeps its meaning meanwhile:
// Text() is the whole document, and a caret set beyond what the view holds
// yet takes effect when that part arrives (and reads back as set).
class RichTextView : public QPlainTextEdit
{
    Q_OBJECT

public:
    // wParam values of the scroll message.
    enum ScrollStep { SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3 };

    // Bigger files are refused, the view unchanged.
    static constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

    explicit RichTextView(QWidget *parent = nullptr);
    ~RichTextView() override;

    // Replaces the content with the decoded file. False, and the view left as
    // it was, when the file cannot be opened or is too big. Files above a few
    // MiB are decoded in the background; the old content stays until then.
    bool LoadFile(const QString &path);

    QString Text();
    void setText(const QString &text);

    qint32 SelStart() const;
    void setSelStart(qint32 position);

    void setFontSize(int points);
    bool SetFocus();
    void Move(int left, int top, int width, int height);
    void scroll(ScrollStep step);

    // True until the whole document is in the view.
    bool isLoading() const;
    // Offsets in the view's document for offsets in Text(), and back; -1
    // for a part that is not in the view yet.
    int localPosition(qsizetype logical) const;
    qint32 logicalPosition(int local) const { return qint32(local + m_loadedBegin); }
    qsizetype textLength() const { return m_text.size(); }

signals:
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The whole of the current document is in the view.
    void loaded();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Decoded {
        bool ok = false;
        QString text;
        quint64 generation = 0;
    };

    void cancelLoading();
    void finishDecoding();
    void showDocument(QString text);
    void feedStep();
    void placeCaret(qsizetype logicalAnchor, qsizetype logicalPosition, bool scrollIntoView);
    void applyPendingCaret();

    QString m_text;
    qsizetype m_loadedBegin = 0;   // m_text[m_loadedBegin, m_loadedEnd) is in the view
    qsizetype m_loadedEnd = 0;
    std::optional<qint32> m_pendingCaret;
    QTimer m_feedTimer;
    QFutureWatcher<Decoded> m_decoding;
    bool m_decodePending = false;
    quint64 m_generation = 0;
};
