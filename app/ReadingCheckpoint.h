#pragma once

#include "app/AppSettings.h"

#include <QFuture>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>

class SettingsWriter;

// While a reading mode runs, saves the settings once a period if the caret
// has moved since the last save, so that a crash or a power cut loses at
// most that period. The file is written on a thread of its own: reading
// never waits for the disk.
class ReadingCheckpoint : public QObject
{
    Q_OBJECT

public:
    using Values = std::function<modMain::SetupValues()>;

    ReadingCheckpoint(SettingsWriter &writer, Values values, std::chrono::milliseconds period,
                      QObject *parent = nullptr);
    ~ReadingCheckpoint() override;

    // A reading mode started (the first save comes a period later) or all
    // of them ended (nothing is saved then).
    void setActive(bool active);
    bool isActive() const { return m_timer.isActive(); }
    // A period is over; the timer calls it.
    void tick();
    // Waits for a write under way.
    void wait();

private:
    static constexpr qint64 kNone = -1;

    SettingsWriter &m_writer;
    Values m_values;
    QTimer m_timer;
    QFuture<void> m_write;
    std::atomic<qint64> m_savedCaret = kNone;
    QThreadPool m_pool; // last: its end waits for a write under way
};
