#pragma once

#include "TestFiles.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "speech/Voice.h"
#include "tray/NotifyIcon.h"
#include "ui/frmMain.h"

#include <QPointer>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class RichTextView;

// Waits until the view's document is decoded; false after 20 s.
bool decoded(const RichTextView &view);

// Answers questions, dialogs and menus from a script and records what was
// shown. With nothing scripted: Cancel, no file, menu dismissed.
struct FakeDialogs final : Dialogs {
    void information(QWidget *, const QString &text, const QString &) override { asked << text; }
    bool question(QWidget *, const QString &text, const QString &) override
    {
        asked << text, wait();
        return !answers.isEmpty() && answers.takeFirst();
    }
    QString getOpenFileName(QWidget *, const QString &) override
    {
        wait();
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    qint16 popupMenu(QWidget *, const QList<MenuItem> &items) override
    {
        menus << items, wait();
        return menuChoices.isEmpty() ? qint16(0) : menuChoices.takeFirst();
    }
    void wait() // runs duringWait, as events run in a real modal loop
    {
        if (auto run = std::exchange(duringWait, nullptr))
            run();
    }

    QList<bool> answers;
    QStringList files;
    QList<qint16> menuChoices;
    std::function<void()> duringWait;
    QStringList asked;
    QList<QList<MenuItem>> menus;
};

// Records what it is asked to speak; words come when the test emits them.
class FakeVoice final : public Voice
{
    Q_OBJECT

public:
    explicit FakeVoice(const QStringList &descriptions, QObject *parent = nullptr) : Voice(parent)
    {
        for (const QString &description : descriptions)
            m_voices.append({QStringLiteral("voice-%1").arg(m_voices.size()), description});
        m_voice = m_voices.value(0);
    }
    QList<VoiceToken> GetVoices() const override { return m_voices; }
    bool setVoice(const VoiceToken &token) override { return (m_voice = token), true; }
    VoiceToken voice() const override { return m_voice; }
    bool setRate(int rate) override { return (m_rate = rate), true; }
    int Rate() const override { return m_rate; }
    bool setVolume(int) override { return true; }
    int Volume() const override { return 100; }
    bool speakFrom(const QString &text, qsizetype from, int flags) override
    {
        return spoken.append({text.mid(from), flags}), true;
    }
    bool IsUISupported(const QString &type) const override
    {
        return volumeUi && type == "AudioVolume";
    }
    void emitWord(qint32 position) { emit Word(position); }

    struct Spoken {
        QString text; // from `from` on
        int flags;
    };
    QList<Spoken> spoken;
    bool volumeUi = true;

private:
    QList<VoiceToken> m_voices;
    VoiceToken m_voice;
    int m_rate = 0;
};

struct FakeShell final : Shell {
    bool openUrl(const QUrl &url) override { return opened.append(url), true; }
    QList<QUrl> opened;
};

// Takes the icon while `available`; the test clicks it.
class FakeNotifyArea final : public NotifyArea
{
    Q_OBJECT

public:
    bool Shell_NotifyIcon(int message, const NotifyIconData &data) override
    {
        if (message == NIM_ADD && available && !shown)
            return shown = !data.szTip.isEmpty();
        return message == NIM_DELETE && shown && !(shown = false);
    }
    bool isShown() const override { return shown && available; }
    void setMenuItems(const QList<MenuItem> &items) override { menuItems = items; }
    void click(int message) { emit mouseMessage(message); }
    void choose(qint16 id) { emit menuItemChosen(id); } // in a menu the tray draws

    QList<MenuItem> menuItems;

    bool available = true;
    bool shown = false; // with a tip
};

// The real main window with the fakes, and config.ini in a scratch folder.
struct WindowHarness {
    explicit WindowHarness(const QStringList &voices = {"Chinese (Mandarin)", "English"});
    QString file(const QString &name) const { return dir.filePath(name); }
    QString configPath() const { return file("config.ini"); }
    bool start(); // the Load handler, then shown, as start-up does
    frmMain &w() { return *window; }

    QTemporaryDir dir;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeNotifyArea tray;
    QPointer<FakeVoice> voice;
    std::unique_ptr<frmMain> window;
};
