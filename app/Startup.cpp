#include "Startup.h"

#include "app/AppSettings.h"
#include "app/ConfigLocation.h"
#include "app/DesktopServices.h"
#include "app/DisplayLoss.h"
#include "app/ExitSignals.h"
#include "app/SingleInstance.h"
#include "platform/Dialogs.h"
#include "platform/DocumentLoader.h"
#include "platform/Shell.h"
#include "speech/VoiceSet.h"
#include "tray/NotifyIcon.h"
#include "ui/AdPanel.h"
#include "ui/SettingsKeeper.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace {

void loadQtTranslations(QApplication &app)
{
    // The program speaks Chinese whatever the locale; standard buttons too.
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

#ifdef TALVERO_COVERAGE
extern "C" void __gcov_dump();
#endif

[[noreturn]] void endNow(int status)
{
    // Only our own streams: flushing all of them would wait for the lock of
    // the speech service's socket stream, which its reader thread holds
    // while it waits for a line.
    std::fflush(stdout);
    std::fflush(stderr);
#ifdef TALVERO_COVERAGE
    __gcov_dump(); // _Exit skips the handler that would write the counts
#endif
    // Nothing is left to save; speech and audio threads are not waited for.
    std::_Exit(status);
}

constexpr const char *kNeedsDisplay =
    "Talvero needs a graphical session: no display could be opened.";

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Qt ends a start without a usable display with abort() and advice to
// reinstall; one plain line and a clean exit say what is wrong.
void startupMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", kNeedsDisplay);
        std::_Exit(1);
    }
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

bool InitVisualStyles()
{
    return true;
}

int Main(int argc, char **argv)
{
    if (!hasDisplay()) {
        std::fprintf(stderr, "%s\n", kNeedsDisplay);
        return 1;
    }
    const QtMessageHandler defaultHandler = qInstallMessageHandler(startupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(defaultHandler);
    QGuiApplication::setDesktopFileName(QStringLiteral(TALVERO_APP_ID));
    QApplication::setQuitOnLastWindowClosed(false);
    loadQtTranslations(app);
    QtDialogs dialogs;

    SingleInstance instance;
    if (!instance.tryAcquire()) {
        dialogs.information(nullptr, QStringLiteral("该程序已运行"), QStringLiteral("提示"));
        return 0;
    }

    InitVisualStyles();

    DesktopShell shell;
    SystemNotifyArea notifyArea;
    MainWindowServices services;
    services.dialogs = &dialogs;
    services.shell = &shell;
    services.notifyArea = &notifyArea;
    services.createVoice = [](QObject *parent) -> Voice * { return new VoiceSet(parent); };
    services.configPath = defaultConfigPath();
    services.adsUrl = AdPanel::defaultUrl();
    services.endProcess = [](int status) { endNow(status); };

    // The last document is decoded while the window is built and the voices
    // are found; the window's load then takes it over.
    DocumentLoader::prefetch(modMain::ReadIniString(
        modMain::kSection, QStringLiteral("ReadFileName"), QString(), services.configPath));
    frmMain window(services);
    window.Form_Load();
    DocumentLoader::dropPrefetched();
    // The display gone: the place is saved as at the exit, then the end.
    DisplayLoss::watch([&window] { window.settings->writeLastKnown(); }, endNow);
    window.show();
    startDesktopServices(window);

    // The session saving its state (a checkpoint, or before its end) saves
    // the settings and reading goes on; the session's end, SIGTERM and the
    // like then leave as the tray's exit does, so the reading position is kept.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.SetSetup(); });
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::received, &window, &frmMain::exitProgram);

    return app.exec();
}
