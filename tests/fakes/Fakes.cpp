#include "Fakes.h"

#include "platform/RichTextView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTest>

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool decoded(const RichTextView &view)
{
    return QTest::qWaitFor([&] { return !view.isDecoding(); }, 20000);
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

void FakeDialogs::runDuringWait()
{
    if (auto run = std::exchange(duringWait, nullptr))
        run();
}

void FakeDialogs::information(QWidget *, const QString &text, const QString &title)
{
    asked << text;
    titles << title;
}

bool FakeDialogs::question(QWidget *, const QString &text, const QString &title)
{
    asked << text;
    titles << title;
    runDuringWait();
    return !answers.isEmpty() && answers.takeFirst();
}

QString FakeDialogs::getOpenFileName(QWidget *, const QString &classicFilter)
{
    filters << classicFilter;
    runDuringWait();
    return files.isEmpty() ? QString() : files.takeFirst();
}

qint16 FakeDialogs::popupMenu(QWidget *, const QList<MenuItem> &items)
{
    menus << items;
    runDuringWait();
    return menuChoices.isEmpty() ? qint16(0) : menuChoices.takeFirst();
}

FakeVoice::FakeVoice(const QStringList &descriptions, QObject *parent) : Voice(parent)
{
    for (int i = 0; i < descriptions.size(); ++i)
        m_voices.append({QStringLiteral("voice-%1").arg(i), descriptions[i]});
    if (!m_voices.isEmpty())
        m_voice = m_voices.constFirst();
}

bool FakeVoice::setVoice(const VoiceToken &token)
{
    m_voice = token;
    return true;
}

bool FakeVoice::setRate(int rate)
{
    const bool ok = rate >= -10 && rate <= 10;
    m_rate = ok ? rate : m_rate;
    return ok;
}

bool FakeVoice::setVolume(int volume)
{
    const bool ok = volume >= 0 && volume <= 100;
    m_volume = ok ? volume : m_volume;
    return ok;
}

bool FakeVoice::speakFrom(const QString &text, qsizetype from, int flags)
{
    spoken.append({text.mid(from), flags});
    return true;
}

bool FakeVoice::IsUISupported(const QString &typeOfUI) const
{
    return volumeUi && typeOfUI == QLatin1String("AudioVolume");
}

bool FakeShell::openUrl(const QUrl &url)
{
    opened.append(url);
    return true;
}

bool FakeNotifyArea::Shell_NotifyIcon(int message, const NotifyIconData &data)
{
    calls.append({message, data.uID});
    if (message == NIM_ADD && available && !shown) {
        tip = data.szTip;
        return shown = true;
    }
    if (message == NIM_DELETE && shown)
        return !(shown = false);
    return false;
}

void FakeNotifyArea::setAvailable(bool on)
{
    available = on;
    emit areaChanged();
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
