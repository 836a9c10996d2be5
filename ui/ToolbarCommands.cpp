#include "ToolbarCommands.h"

#include "platform/Dialogs.h"
#include "platform/RichTextView.h"
#include "speech/SpeechReading.h"
#include "speech/Voice.h"
#include "tray/PopupMenus.h"
#include "ui/ToolbarControls.h"

#include <QLabel>
#include <QTimer>

namespace {
const QString kTitle = QStringLiteral("提示");
const QString kAskStopReading = QStringLiteral("如果要自动翻页,将会停止语音阅读,您确定吗?");
const QString kAskStopTurning = QStringLiteral("如果要语音阅读,将会停止自动翻页,您确定吗?");
const QString kVolumeUi = QStringLiteral("AudioVolume");
const QString kVolumeTitle = QStringLiteral("My App's Sound Levels");
} // namespace

ToolbarCommands::ToolbarCommands(ReaderState &state, const Controls &controls,
                                 SpeechReading &speech, PopupMenus &menus, Dialogs &dialogs,
                                 QObject *parent)
    : QObject(parent), m_state(state), m_controls(controls), m_speech(speech), m_menus(menus),
      m_dialogs(dialogs)
{
}

void ToolbarCommands::img_Click(int index)
{
    switch (index) {
    case PreviousPage: previousPage(); break;
    case NextPage: nextPage(); break;
    case OpenFile: openFile(); break;
    case CloseFile: closeFile(); break;
    case AutoTurn: autoTurn(); break;
    case FontSize: fontSize(); break;
    case SpeechToggle: speechToggle(); break;
    case SpeechSettings: speechSettings(); break;
    default: break;
    }
    showModes();
}

void ToolbarCommands::showModes()
{
    if (ToolbarImage *image = m_controls.img[AutoTurn])
        image->setChecked(m_state.AutoTurnFlag == 1);
    if (ToolbarImage *image = m_controls.img[SpeechToggle])
        image->setChecked(m_state.ReadingFlag == 1);
}

void ToolbarCommands::img_MouseDown(int index)
{
    setBorder(index, 1);
}

void ToolbarCommands::img_MouseUp(int index)
{
    setBorder(index, 0);
}

void ToolbarCommands::setBorder(int index, int style)
{
    if (index >= 0 && index < ControlSet::kImageCount && m_controls.img[size_t(index)])
        m_controls.img[size_t(index)]->setBorderStyle(style);
}

void ToolbarCommands::stopReading()
{
    if (m_state.ReadingFlag != 1)
        return;
    m_speech.PlayStop();
    m_state.ReadingFlag = 0;
    setBorder(SpeechToggle, 0);
}

void ToolbarCommands::stopTurning()
{
    if (m_state.AutoTurnFlag != 1)
        return;
    m_controls.timScroll->stop();
    m_state.AutoTurnFlag = 0;
    setBorder(AutoTurn, 0);
}

void ToolbarCommands::previousPage()
{
    m_controls.rtb->scroll(RichTextView::SB_PAGEUP);
}

void ToolbarCommands::nextPage()
{
    m_controls.rtb->scroll(RichTextView::SB_PAGEDOWN);
}

void ToolbarCommands::openFile()
{
    const QString fileName = m_dialogs.getOpenFileName(m_controls.window, kOpenFilter);
    if (fileName.isEmpty())
        return;
    stopReading();
    stopTurning();
    m_state.AppSettings.ReadFileName = fileName;
    openDocument(fileName);
}

void ToolbarCommands::img_OLEDragDrop(const QStringList &paths)
{
    if (!paths.isEmpty())
        m_state.AppSettings.ReadFileName = paths.constFirst();
    stopReading();
    stopTurning();
    openDocument(m_state.AppSettings.ReadFileName);
    showModes();
}

void ToolbarCommands::openDocument(const QString &path)
{
    // A file that cannot be loaded leaves the old text; the rest still runs.
    m_controls.rtb->LoadFile(path);
    m_controls.labCaption->setText(path);
    m_state.AppSettings.PlayPos = 1;
}

void ToolbarCommands::closeFile()
{
    stopReading();
    stopTurning();
    m_controls.rtb->setText(QString());
    m_controls.labCaption->setText(SpeechReading::kDownloadCaption);
}

void ToolbarCommands::autoTurn()
{
    if (m_state.AutoTurnFlag != 0) {
        m_state.AutoTurnFlag = 0;
        m_controls.timScroll->stop();
        setBorder(AutoTurn, 0);
        return;
    }
    if (m_state.ReadingFlag == 1) {
        if (!m_dialogs.question(m_controls.window, kAskStopReading, kTitle))
            return;
        m_state.ReadingFlag = 0;
        setBorder(SpeechToggle, 0);
        m_speech.PlayStop();
    }
    const qint16 n = m_menus.ShowAutoPageMenu();
    if (n < 1)
        return;
    m_state.AutoTurnFlag = 1;
    m_state.AppSettings.AutoRate = n;
    m_controls.timScroll->setInterval(n * 1000);
    m_controls.timScroll->start();
    setBorder(AutoTurn, 1);
}

void ToolbarCommands::fontSize()
{
    const qint16 n = m_menus.ShowFontSizeMenu();
    if (n < 1)
        return;
    m_state.AppSettings.FontSizes = n;
    m_controls.rtb->setFontSize(n);
}

void ToolbarCommands::speechToggle()
{
    if (m_state.ReadingFlag != 0) {
        m_state.ReadingFlag = 0;
        m_speech.PlayStop();
        setBorder(SpeechToggle, 0);
        return;
    }
    if (m_state.AutoTurnFlag == 1) {
        if (!m_dialogs.question(m_controls.window, kAskStopTurning, kTitle))
            return;
        m_state.AutoTurnFlag = 0;
        m_controls.timScroll->stop();
        setBorder(AutoTurn, 0);
    }
    const qint16 n = m_menus.ShowReadSpeedMenu();
    if (n < 1)
        return;
    m_state.AppSettings.PlayRate = n;
    m_speech.SetRate(m_state.AppSettings.PlayRate);
    m_state.ReadingFlag = 1;
    m_state.AppSettings.PlayPos = m_controls.rtb->SelStart() + 1;
    m_speech.PlayFile();
    setBorder(SpeechToggle, 1);
}

void ToolbarCommands::toggleReadingFromTray()
{
    if (m_state.ReadingFlag == 1) {
        m_state.ReadingFlag = 0;
        m_speech.PlayStop();
        setBorder(SpeechToggle, 0);
        showModes();
        return;
    }
    if (m_state.AutoTurnFlag == 1) {
        m_state.AutoTurnFlag = 0;
        m_controls.timScroll->stop();
        setBorder(AutoTurn, 0);
    }
    m_state.ReadingFlag = 1;
    setBorder(SpeechToggle, 1);
    const qint32 caret = m_controls.rtb->SelStart();
    if (caret < std::numeric_limits<qint32>::max())
        m_state.AppSettings.PlayPos = caret + 1;
    m_speech.PlayFile();
    showModes();
}

void ToolbarCommands::speechSettings()
{
    Voice *sp = m_speech.voice();
    if (sp && sp->IsUISupported(kVolumeUi))
        sp->DisplayUI(m_controls.window, kVolumeTitle, kVolumeUi);
}
