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
    void openFile();
    void closeFile();
    void autoTurn();
    void fontSize();
    void speechToggle();
    void speechSettings();

    void setReadingFlag(qint16 value);
    void setTurningFlag(qint16 value);
    void stopReadingBeforeFlag();
    void stopReadingAfterFlag();
    void stopTurning();
    void stopModes();
    void startReading();
    void loadDocument();
    void setBorder(int index, int style);

    ReaderState &m_state;
    Controls m_controls;
    SpeechReading &m_speech;
    PopupMenus &m_menus;
    Dialogs &m_dialogs;
};
