#include "Fakes.h"

#include "platform/RichTextView.h"

#include <QDir>
#include <QStringEncoder>
#include <QTest>

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray gb18030(const QString &text)
{
    return QStringEncoder("GB18030").encode(text);
}

bool decoded(const RichTextView &view)
{
    return QTest::qWaitFor([&] { return !view.isDecoding(); }, 20000);
}

void FakeDialogs::wait()
{
    if (auto run = std::exchange(duringWait, nullptr))
        run();
}

bool FakeDialogs::question(QWidget *, const QString &text, const QString &)
{
    asked << text;
    wait();
    return !answers.isEmpty() && answers.takeFirst();
}

QString FakeDialogs::getOpenFileName(QWidget *, const QString &filter)
{
    filters << filter;
    wait();
    return files.isEmpty() ? QString() : files.takeFirst();
}

qint16 FakeDialogs::popupMenu(QWidget *, const QList<MenuItem> &items)
{
    menus << items;
    wait();
    return menuChoices.isEmpty() ? qint16(0) : menuChoices.takeFirst();
}

FakeVoice::FakeVoice(const QStringList &descriptions, QObject *parent) : Voice(parent)
{
    for (const QString &description : descriptions)
        m_voices.append({QStringLiteral("voice-%1").arg(m_voices.size()), description});
    m_voice = m_voices.value(0);
}

bool FakeVoice::speakFrom(const QString &text, qsizetype from, int flags)
{
    spoken.append({text.mid(from), flags});
    return true;
}

bool FakeNotifyArea::Shell_NotifyIcon(int message, const NotifyIconData &data)
{
    calls.append({message, data.uID});
    if (message == NIM_ADD && available && !shown) {
        tip = data.szTip;
        return shown = true;
    }
    return message == NIM_DELETE && shown && !(shown = false);
}

WindowHarness::WindowHarness(const QStringList &voices, bool withVoice)
{
    MainWindowServices services;
    services.dialogs = &dialogs;
    services.shell = &shell;
    services.notifyArea = &tray;
    services.createVoice = [this, voices, withVoice](QObject *parent) -> Voice * {
        return withVoice ? (voice = new FakeVoice(voices, parent)) : nullptr;
    };
    services.configPath = configPath();
    services.endProcess = [this](int status) { endedWith.append(status); };
    window = std::make_unique<frmMain>(services);
}

bool WindowHarness::start()
{
    window->Form_Load();
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}
