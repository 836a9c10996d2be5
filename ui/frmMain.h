#pragma once

#include "app/ReaderState.h"
#include "tray/PopupMenus.h"
#include "ui/ControlSet.h"

#include <QUrl>
#include <QWidget>

#include <array>
#include <functional>

class AdPanel;
class CaptionLabel;
class Dialogs;
class NotifyArea;
class QComboBox;
class QTimer;
class RichTextView;
class SettingsKeeper;
class Shell;
class SpeechReading;
class ToolbarCommands;
class ToolbarImage;
class ToolbarStrip;
class TrayIcon;
class Voice;

// What the main window needs from outside; tests pass fakes.
struct MainWindowServices {
    Dialogs *dialogs = nullptr;
    Shell *shell = nullptr;
    NotifyArea *notifyArea = nullptr;
    // Creates the voice, parented to the given object; nullptr when there is
    // no speech engine.
    std::function<Voice *(QObject *parent)> createVoice;
    QString configPath;
    QUrl adsUrl;
    // Ends the process at once with the given status.
    std::function<void(int)> endProcess;
};

// The main window: creates the controls at their design-time places and
// wires their events to the commands, the speech and the tray.
class frmMain : public QWidget
{
    Q_OBJECT

public:
    static inline const QString kCaption = QStringLiteral("Talvero");
    static inline const QString kToolTips = QStringLiteral(
        "上一页,下一页,打开文件,关闭文件,自动翻页,字体大小,语音阅读,语音设置");

    explicit frmMain(const MainWindowServices &services, QWidget *parent = nullptr);
    ~frmMain() override;

    // The Load handler: runs once, before the window is first shown.
    void Form_Load();
    // Writes the settings file; false when it could not be written.
    bool SetSetup();
    void LoadReadFile();
    // Leaves the program without asking: icon removed, settings written.
    void exitProgram();

    // Controls, by their design-time names.
    RichTextView *rtb = nullptr;
    ToolbarStrip *picBar = nullptr;
    std::array<ToolbarImage *, ControlSet::kImageCount> img{};
    QComboBox *cmbLanguage = nullptr;
    CaptionLabel *labCaption = nullptr;
    AdPanel *webads = nullptr;
    QWidget *picTray = nullptr;
    QTimer *timScroll = nullptr;

    Voice *sp = nullptr;
    ReaderState state;
    SpeechReading *speech = nullptr;
    ToolbarCommands *commands = nullptr;
    TrayIcon *tray = nullptr;
    PopupMenus menus;
    SettingsKeeper *settings = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createBanner();
    void createToolBand();
    void createView();
    void createReading();
    void connectEvents();
    void fillVoiceList();
    void addNewVoices();
    void voicesArrived();

    MainWindowServices m_services;
    bool m_exiting = false;
};
