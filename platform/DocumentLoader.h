#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QString>

// Reads and decodes documents for the view and hands over the finished
// text. Files up to kInlineBytes are decoded at once, bigger ones on a
// worker thread, so the window never waits for them.
class DocumentLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;
    static constexpr qint64 kInlineBytes = 4 * 1024 * 1024;

    explicit DocumentLoader(QObject *parent = nullptr);
    ~DocumentLoader() override;

    // False when the file cannot be opened or is too big; nothing follows.
    // Otherwise `loaded` follows (before this returns, for a small file),
    // or `failed` when it turns out unreadable.
    bool load(const QString &path);
    // A load under way is given up: neither signal comes for it.
    void cancel();
    bool isBusy() const { return m_busy; }

signals:
    void loaded(const QString &text);
    void failed();

private:
    struct Decoded {
        bool ok = false;
        QString text;
        quint64 generation = 0;
    };
    void finish();

    QFutureWatcher<Decoded> m_decoding;
    quint64 m_generation = 0;
    bool m_busy = false;
};
