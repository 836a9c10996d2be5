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
// Waits until the view's document is decoded; false after 20 s.
bool decoded(const RichTextView &view);
QByteArray readFile(const QString &path);
QByteArray gb18030(const QString &text);

// Answers questions, dialogs and menus from a script and records what was
// shown. With nothing scripted: Cancel, no file, menu dismissed.
class FakeDialogs final : public Dialogs
{
public:
    void information(QWidget *, const QString &text, const QString &title) override;
    bool question(QWidget *, const QString &text, const QString &title) override;
    QString getOpenFileName(QWidget *, const QString &classicFilter) override;
    qint16 popupMenu(QWidget *, const QList<MenuItem> &items) override;

    QList<bool> answers;
    QStringList files;
    QList<qint16> menuChoices;
    // Runs inside the next wait, as events do in a real modal loop.
    std::function<void()> duringWait;

    QStringList asked;   // questions and notices
    QStringList titles;
    QStringList filters;
    QList<QList<MenuItem>> menus;

private:
    void runDuringWait();
};

// Records what it is asked; words come when the test emits them.
class FakeVoice final : public Voice
{
    Q_OBJECT

public:
    explicit FakeVoice(const QStringList &descriptions, QObject *parent = nullptr);

    QList<VoiceToken> GetVoices() const override { return m_voices; }
    bool setVoice(const VoiceToken &token) override;
    VoiceToken voice() const override { return m_voice; }
    bool setRate(int rate) override;
    int Rate() const override { return m_rate; }
    bool setVolume(int volume) override;
    int Volume() const override { return m_volume; }
    bool speakFrom(const QString &text, qsizetype from, int flags) override;
    bool IsUISupported(const QString &typeOfUI) const override;

    void emitWord(qint32 position) { emit Word(position); }

    struct Spoken {
        QString text;   // from `from` on
        int flags;
    };
    QList<Spoken> spoken;
    bool volumeUi = true;

private:
    QList<VoiceToken> m_voices;
    VoiceToken m_voice;
    int m_rate = 0;
    int m_volume = 100;
};

class FakeShell final : public Shell
{
public:
    bool openUrl(const QUrl &url) override;
    QList<QUrl> opened;
};

// Accepts the icon while `available`; the test clicks it.
class FakeNotifyArea final : public NotifyArea
{
    Q_OBJECT

public:
    bool Shell_NotifyIcon(int message, const NotifyIconData &data) override;
    bool isShown() const override { return shown && available; }
    void click(int message) { emit mouseMessage(message); }
    void setAvailable(bool on);

    QList<std::pair<int, quint32>> calls;   // message, icon id
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
    // Runs the Load handler and shows the window, as start-up does.
    bool start();
    frmMain &w() { return *window; }

    QTemporaryDir dir;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeNotifyArea tray;
    QPointer<FakeVoice> voice;
    QList<int> endedWith;
    std::unique_ptr<frmMain> window;
};
