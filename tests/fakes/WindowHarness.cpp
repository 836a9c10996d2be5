#include "WindowHarness.h"

#include <QTest>

WindowHarness::WindowHarness(QStringList voices, bool withVoice)
    : voiceNames(std::move(voices)), withVoice(withVoice)
{
    create();
}

WindowHarness::~WindowHarness() = default;

void WindowHarness::create()
{
    MainWindowServices services;
    services.dialogs = &dialogs;
    services.shell = &shell;
    services.notifyArea = &tray;
    services.createVoice = [this](QObject *parent) -> Voice * {
        if (!withVoice)
            return nullptr;
        voice = new FakeVoice(voiceNames, parent);
        return voice;
    };
    services.configPath = configPath();
    services.adsUrl = QUrl();   // no network in unit tests
    services.endProcess = [this](int status) { endedWith.append(status); };
    window = std::make_unique<frmMain>(services);
}

void WindowHarness::start()
{
    window->Form_Load();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}
