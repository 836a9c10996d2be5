#pragma once

#include "app/AppSettings.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

class frmMain;
class ReadingCheckpoint;
class SettingsWriter;

// Keeps the window's settings in config.ini: the exit's write, a checkpoint
// while a reading mode runs, and a last write when the display is lost.
// While the document read at start-up is not in the view (a drive not
// mounted yet), its place is kept as read, until the user opens, drops or
// closes a document.
class SettingsKeeper : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::minutes kCheckpointPeriod{1};

    SettingsKeeper(frmMain &window, const QString &configPath);
    ~SettingsKeeper() override;

    // After the settings were read and the document reopened.
    void keepStartPlace();
    // What the exit writes at this moment.
    modMain::SetupValues values() const;
    bool write();
    // The exit's write: the last one.
    bool writeLast();
    // The last write from any thread, without asking the display.
    bool writeLastKnown();

    ReadingCheckpoint &checkpoint() { return *m_checkpoint; }

private:
    struct Place {
        QString file;
        qint32 caret = 0;
    };

    frmMain &m_window;
    std::unique_ptr<SettingsWriter> m_writer;
    ReadingCheckpoint *m_checkpoint = nullptr;
    std::optional<Place> m_startPlace;
};
