#pragma once

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

bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
QByteArray gb18030(const QString &text);
// Waits until the view's document is decoded; false after 20 s.
bool decoded(const RichTextView &view);

// Answers questions, dialogs and menus from a script and records what was
// shown. With nothing scripted: Cancel, no file, menu dismissed.
struct FakeDialogs final : Dialogs {
    void information(QWidget *, const QString &text, const QString &) override { asked << text; }
    bool question(QWidget *, const QString &text, const QString &) override;
    QString getOpenFileName(QWidget *, const QString &filter) override;
    qint16 popupMenu(QWidget *, const QList<MenuItem> &items) override;
    void wait(); // runs duringWait, as events run in a real modal loop

    QList<bool> answers;
    QStringList files;
    QList<qint16> menuChoices;
    std::function<void()> duringWait;
    QStringList asked, filters;
    QList<QList<MenuItem>> menus;
};

// Records what it is asked to speak; words come when the test emits them.
class FakeVoice final : public Voice
{
    Q_OBJECT

public:
    explicit FakeVoice(const QStringList &descriptions, QObject *parent = nullptr);
    QList<VoiceToken> GetVoices() const override { return m_voices; }
    bool setVoice(const VoiceToken &token) override { return (m_voice = token), true; }
    VoiceToken voice() const override { return m_voice; }
    bool setRate(int rate) override { return (m_rate = rate), true; }
    int Rate() const override { return m_rate; }
    bool setVolume(int) override { return true; }
    int Volume() const override { return 100; }
    bool speakFrom(const QString &text, qsizetype from, int flags) override;
    bool IsUISupported(const QString &type) const override { return volumeUi && type == "AudioVolume"; }
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
    bool Shell_NotifyIcon(int message, const NotifyIconData &data) override;
    bool isShown() const override { return shown && available; }
    void click(int message) { emit mouseMessage(message); }
    void setAvailable(bool on) { available = on, emit areaChanged(); }

    QList<std::pair<int, quint32>> calls; // message, icon id
    bool available = true;
    bool shown = false;
    QString tip;
};

// The real main window with the fakes, and config.ini in a scratch folder.
struct WindowHarness {
    explicit WindowHarness(const QStringList &voices = {"Chinese (Mandarin)", "English"},
                           bool withVoice = true);
    QString file(const QString &name) const { return dir.filePath(name); }
    QString configPath() const { return file("config.ini"); }
    bool start(); // the Load handler, then shown, as start-up does
    frmMain &w() { return *window; }

    QTemporaryDir dir;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeNotifyArea tray;
    QPointer<FakeVoice> voice;
    QList<int> endedWith;
    std::unique_ptr<frmMain> window;
};
