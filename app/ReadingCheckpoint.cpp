#include "ReadingCheckpoint.h"

#include "app/SettingsWriter.h"

#include <QtConcurrent/QtConcurrentRun>

ReadingCheckpoint::ReadingCheckpoint(SettingsWriter &writer, Values values,
                                     std::chrono::milliseconds period, QObject *parent)
    : QObject(parent), m_writer(writer), m_values(std::move(values))
{
    m_pool.setMaxThreadCount(1);
    m_timer.setInterval(period);
    connect(&m_timer, &QTimer::timeout, this, &ReadingCheckpoint::tick);
}

ReadingCheckpoint::~ReadingCheckpoint() = default;

void ReadingCheckpoint::setActive(bool active)
{
    if (active == m_timer.isActive())
        return;
    if (!active) {
        m_timer.stop();
        return;
    }
    // Until a first save, the place the mode started at counts as saved.
    qint64 none = kNone;
    m_savedCaret.compare_exchange_strong(none, m_values().caret);
    m_timer.start();
}

void ReadingCheckpoint::tick()
{
    // A disk slower than a period gets no second write queued behind.
    if (!m_timer.isActive() || m_write.isRunning())
        return;
    const modMain::SetupValues values = m_values();
    m_writer.remember(values);
    if (values.caret == m_savedCaret)
        return;
    // A failed write (read-only or full disk) leaves the old file whole and
    // the caret unsaved, so the next period tries again.
    m_write = QtConcurrent::run(&m_pool, [this, values] {
        if (m_writer.write(values))
            m_savedCaret = values.caret;
    });
}

void ReadingCheckpoint::wait()
{
    m_write.waitForFinished();
}
