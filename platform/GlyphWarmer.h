#pragma once

#include <QFont>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

// Loads the glyphs of every character a document uses, a few at a time
// while the window is idle. A novel uses thousands of characters, and the
// first page that shows one the font has not loaded yet waits for it: a
// jump far into the text would take milliseconds otherwise.
class GlyphWarmer : public QObject
{
    Q_OBJECT
public:
    explicit GlyphWarmer(QObject *parent = nullptr);
    ~GlyphWarmer() override;

    // Starts over for this text in this font.
    void warm(const QString &text, const QFont &font);
    void stop();

private:
    void collect();
    void warmSome();

    QTimer m_delay;
    QString m_text;
    QFutureWatcher<QString> m_collecting;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    QString m_characters;
    qsizetype m_next = 0;
    QFont m_font;
    QTimer m_timer;
};
