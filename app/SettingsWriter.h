#pragma once

#include "app/AppSettings.h"

#include <mutex>

// Writes config.ini from any thread, one writer at a time. After the last
// write (the exit's) nothing more is written, so its values are the ones
// that stay, whatever checkpoint was under way.
class SettingsWriter
{
public:
    explicit SettingsWriter(QString configPath) : m_path(std::move(configPath)) {}

    // False when refused after the last write, or when the file could not be
    // written (it is then left whole as it was).
    bool write(const modMain::SetupValues &values);
    // Waits for a write under way; nothing is written after this one.
    bool writeLast(const modMain::SetupValues &values);

    // The latest values known, for a write that cannot ask the window.
    void remember(const modMain::SetupValues &values);
    modMain::SetupValues remembered() const;

private:
    bool writeLocked(const modMain::SetupValues &values, bool last);

    const QString m_path;
    std::mutex m_writing;
    bool m_closed = false;
    mutable std::mutex m_latest;
    modMain::SetupValues m_remembered;
};
