#pragma once

#include "DisplayMap.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QObject>
#include <QString>

// Reads and decodes documents for the view on a worker thread and hands
// over the finished text with the index of its lines, so the window never
// waits for a file.
class DocumentLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxFileBytes = 1024LL * 1024 * 1024;

    explicit DocumentLoader(QObject *parent = nullptr);
    ~DocumentLoader() override;

    // Starts decoding a document that a load will soon ask for (the last
    // one read, at start-up), so that the work overlaps what comes before.
    // The first load of the same, unchanged file takes it over.
    static void prefetch(const QString &path);
    // What no load took over is let go.
    static void dropPrefetched();

    // False when the file cannot be opened or is too big; nothing follows.
    // Otherwise `loaded` follows, or `failed` when it turns out unreadable.
    bool load(const QString &path);
    // A load under way is given up: neither signal comes for it.
    void cancel();
    bool isBusy() const { return m_busy; }

signals:
    void loaded(const QString &text, const DisplayMap &lines);
    void failed();

private:
    struct Decoded {
        bool ok = false;
        QString text;
        DisplayMap lines;
    };
    // The one document decoded ahead, and its file as it was then.
    struct Ahead {
        QString path;
        QDateTime modified;
        qint64 size = -1;
        QFuture<Decoded> decoding;
    };
    static Ahead &ahead();
    static QFuture<Decoded> decode(const QString &path);
    static QFuture<Decoded> takePrefetched(const QString &path);
    void finish();

    QFutureWatcher<Decoded> m_decoding;
    quint64 m_generation = 0;
    quint64 m_decodingGeneration = 0;
    bool m_busy = false;
};
