#include "Fakes.h"

#include "platform/RichTextView.h"

#include <QTest>

bool decoded(const RichTextView &view)
{
    return QTest::qWaitFor([&] { return !view.isDecoding(); }, 20000);
}

WindowHarness::WindowHarness(const QStringList &voices)
{
    MainWindowServices services;
    services.dialogs = &dialogs;
    services.shell = &shell;
    services.notifyArea = &tray;
    services.createVoice = [this, voices](QObject *parent) {
        return voice = new FakeVoice(voices, parent);
    };
    services.configPath = configPath();
    services.endProcess = [](int) {}; // the test goes on
    window = std::make_unique<frmMain>(services);
}

bool WindowHarness::start()
{
    window->Form_Load();
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}
