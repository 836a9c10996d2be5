#pragma once

#include "DisplayMap.h"

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
        quint64 generation = 0;
    };
    void finish();

    QFutureWatcher<Decoded> m_decoding;
    quint64 m_generation = 0;
    bool m_busy = false;
};
