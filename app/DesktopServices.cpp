#include "DesktopServices.h"

#include "app/MediaPlayerService.h"
#include "platform/SleepInhibitor.h"
#include "speech/SpeechReading.h"
#include "speech/Voice.h"
#include "ui/ToolbarCommands.h"
#include "ui/frmMain.h"

void startDesktopServices(frmMain &window)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    new MediaPlayerService(window, bus);
    // Held only while reading is on and the voice has text left: not
    // while idle, stopped, turning pages, or after the end of the text.
    auto *inhibitor = new SleepInhibitor(bus, QStringLiteral("语音阅读"), &window);
    const auto follow = [&window, inhibitor] {
        inhibitor->setWanted(window.state.ReadingFlag == 1 && window.speech->isSounding());
    };
    QObject::connect(window.speech, &SpeechReading::soundingChanged, inhibitor, follow);
    QObject::connect(window.commands, &ToolbarCommands::modeChanged, inhibitor, follow);
}
