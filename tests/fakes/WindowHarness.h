#pragma once

#include "fakes/FakeDialogs.h"
#include "fakes/FakeVoice.h"
#include "fakes/Fakes.h"
#include "ui/frmMain.h"

#include <QPointer>
#include <QTemporaryDir>

#include <memory>

// The real main window with fake dialogs, voice, shell and tray, and a
// config.ini in a scratch folder.
struct WindowHarness {
    explicit WindowHarness(QStringList voices = {"Chinese (Mandarin, latin as English)", "English"},
                           bool withVoice = true);
    ~WindowHarness();

    QString configPath() const { return dir.filePath("config.ini"); }
    QString file(const QString &name) const { return dir.filePath(name); }
    // Runs the Load handler and shows the window, as start-up does.
    void start();

    QTemporaryDir dir;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeNotifyArea tray;
    QPointer<FakeVoice> voice;
    QStringList voiceNames;
    bool withVoice;
    QList<int> endedWith;
    std::unique_ptr<frmMain> window;

    void create();
};
