#pragma once

#include "speech/ReaderState.h"
#include "ui/ControlSet.h"

#include <QObject>
#include <QStringList>

#include <array>

class Dialogs;
class PopupMenus;
class QLabel;
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
    enum Command {
        PreviousPage = 0,
        NextPage = 1,
        OpenFile = 2,
        CloseFile = 3,
        AutoTurn = 4,
        FontSize = 5,
        SpeechToggle = 6,
        SpeechSettings = 7,
    };

    struct Controls {
        QWidget *window = nullptr;
        RichTextView *rtb = nullptr;
        QTimer *timScroll = nullptr;
        QLabel *labCaption = nullptr;
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

private:
    void previousPage();
    void nextPage();
    void openFile();
    void closeFile();
    void autoTurn();
    void fontSize();
    void speechToggle();
    void speechSettings();

    void stopReading();
    void stopTurning();
    void openDocument(const QString &path);
    // The switches report the modes that run.
    void showModes();
    void setBorder(int index, int style);

    ReaderState &m_state;
    Controls m_controls;
    SpeechReading &m_speech;
    PopupMenus &m_menus;
    Dialogs &m_dialogs;
};
