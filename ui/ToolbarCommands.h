#pragma once

#include "app/ReaderState.h"
#include "ui/ControlSet.h"

#include <QObject>
#include <QStringList>

#include <array>

class CaptionLabel;
class Dialogs;
class PopupMenus;
class QTimer;
class QWidget;
class RichTextView;
class SpeechReading;
class ToolbarImage;

// The eight toolbar commands and the reading-mode state machine they form
// with the two flags: Idle, Reading (ReadingFlag 1, image 6 framed) and
// Turning (AutoTurnFlag 1, image 4 framed, timScroll running).
class ToolbarCommands : public QObject
{
    Q_OBJECT

public:
    struct Controls {
        QWidget *window = nullptr;
        RichTextView *rtb = nullptr;
        QTimer *timScroll = nullptr;
        CaptionLabel *labCaption = nullptr;
        std::array<ToolbarImage *, ControlSet::kImageCount> img{};
    };

    ToolbarCommands(ReaderState &state, const Controls &controls, SpeechReading &speech,
                    PopupMenus &menus, Dialogs &dialogs, QObject *parent = nullptr);

    void img_Click(int index);
    void img_MouseDown(int index);
    void img_MouseUp(int index);
    void img_OLEDragDrop(const QStringList &paths);

    // The tray menu's "语音阅读": no question, no speed menu.
    void toggleReadingFromTray();

    static inline const QString kOpenFilter = QStringLiteral("文本文件|*.txt|所有文件|*.*");

signals:
    // ReadingFlag or AutoTurnFlag changed: the tray menu and the desktop's
    // media controls show the mode.
    void modeChanged();
    // A document was opened, dropped or closed by the user.
    void documentChanged();

private:
    // What sets the two reading modes apart: commands 4 and 6 run alike.
    struct Mode {
        qint16 ReaderState::*flag;
        int image;
        QString askToStopOther;
        qint16 (PopupMenus::*menu)();
        void (ToolbarCommands::*halt)();        // the timer or the voice
        void (ToolbarCommands::*begin)(qint16); // with the chosen value
    };
    static const Mode kTurning;
    static const Mode kReading;

    void openFile();
    void closeFile();
    void toggleMode(const Mode &mode, const Mode &other);
    void fontSize();
    void speechSettings();

    void setFlag(const Mode &mode, qint16 value);
    void stopReadingBeforeFlag();
    void stopReadingAfterFlag();
    void stopTurning();
    void stopModes();
    void haltTurning();
    void haltReading();
    void beginTurning(qint16 seconds);
    void beginReading(qint16 rate);
    void startReading();
    void loadDocument();
    void setBorder(int index, int style);

    ReaderState &m_state;
    Controls m_controls;
    SpeechReading &m_speech;
    PopupMenus &m_menus;
    Dialogs &m_dialogs;
};
