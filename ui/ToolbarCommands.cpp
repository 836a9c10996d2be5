#include "ToolbarCommands.h"

#include "platform/Dialogs.h"
#include "platform/RichTextView.h"
#include "speech/SpeechReading.h"
#include "speech/Voice.h"
#include "tray/PopupMenus.h"
#include "ui/CaptionLabel.h"
#include "ui/ToolbarControls.h"
#include "ui/VolumeDialog.h"

#include <QTimer>

#include <limits>

using namespace ControlSet;

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
    : QObject(parent),
      m_state(state),
      m_controls(controls),
      m_speech(speech),
      m_menus(menus),
      m_dialogs(dialogs)
{}

void ToolbarCommands::img_Click(int index)
{
    switch (index) {
    case PreviousPage: m_controls.rtb->scroll(RichTextView::SB_PAGEUP); break;
    case NextPage: m_controls.rtb->scroll(RichTextView::SB_PAGEDOWN); break;
    case OpenFile: openFile(); break;
    case CloseFile: closeFile(); break;
    case AutoTurn: autoTurn(); break;
    case FontSize: fontSize(); break;
    case SpeechToggle: speechToggle(); break;
    case SpeechSettings: speechSettings(); break;
    default: break;
    }
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
    if (index >= 0 && index < kImageCount && m_controls.img[size_t(index)])
        m_controls.img[size_t(index)]->setBorderStyle(style);
}

void ToolbarCommands::setReadingFlag(qint16 value)
{
    m_state.ReadingFlag = value;
    // Assistive technology hears of the change at once, also while a
    // question or a menu of the same command is still open.
    if (ToolbarImage *image = m_controls.img[SpeechToggle])
        image->setChecked(value == 1);
    emit modeChanged();
}

void ToolbarCommands::setTurningFlag(qint16 value)
{
    m_state.AutoTurnFlag = value;
    if (ToolbarImage *image = m_controls.img[AutoTurn])
        image->setChecked(value == 1);
    emit modeChanged();
}

// The file commands stop the voice first: a word still pending in PlayStop's
// pass of events moves the caret, as the flag is still set.
void ToolbarCommands::stopReadingBeforeFlag()
{
    if (m_state.ReadingFlag != 1)
        return;
    m_speech.PlayStop();
    setReadingFlag(0);
    setBorder(SpeechToggle, 0);
}

// Commands 4 and 6 and the tray clear the flag first: no word pending in
// PlayStop's pass of events may move the caret any more.
void ToolbarCommands::stopReadingAfterFlag()
{
    setReadingFlag(0);
    m_speech.PlayStop();
    setBorder(SpeechToggle, 0);
}

void ToolbarCommands::stopTurning()
{
    m_controls.timScroll->stop();
    setTurningFlag(0);
    setBorder(AutoTurn, 0);
}

void ToolbarCommands::startReading()
{
    setReadingFlag(1);
    // Beyond the largest position there is nothing to add one to; PlayPos
    // then keeps its value.
    const qint32 caret = m_controls.rtb->SelStart();
    if (caret < std::numeric_limits<qint32>::max())
        m_state.AppSettings.PlayPos = caret + 1;
    m_speech.PlayFile();
}

void ToolbarCommands::openFile()
{
    const QString fileName = m_dialogs.getOpenFileName(m_controls.window, kOpenFilter);
    if (fileName.isEmpty())
        return;
    stopModes();
    m_state.AppSettings.ReadFileName = fileName;
    loadDocument();
}

void ToolbarCommands::img_OLEDragDrop(const QStringList &paths)
{
    // Without a file in the drop the current name is loaded again.
    if (!paths.isEmpty())
        m_state.AppSettings.ReadFileName = paths.constFirst();
    stopModes();
    loadDocument();
}

void ToolbarCommands::stopModes()
{
    stopReadingBeforeFlag();
    if (m_state.AutoTurnFlag == 1)
        stopTurning();
}

void ToolbarCommands::loadDocument()
{
    // A file that cannot be loaded leaves the old text; the rest still runs.
    m_controls.rtb->LoadFile(m_state.AppSettings.ReadFileName);
    m_controls.labCaption->setText(m_state.AppSettings.ReadFileName);
    m_state.AppSettings.PlayPos = 1;
    emit documentChanged();
}

void ToolbarCommands::closeFile()
{
    stopModes();
    m_controls.rtb->setText(QString());
    m_controls.labCaption->showDownloadLink();
    emit documentChanged();
}

void ToolbarCommands::autoTurn()
{
    if (m_state.AutoTurnFlag != 0) {
        stopTurning();
        return;
    }
    if (m_state.ReadingFlag == 1) {
        if (!m_dialogs.question(m_controls.window, kAskStopReading, kTitle))
            return;
        stopReadingAfterFlag();
    }
    const qint16 n = m_menus.ShowAutoPageMenu();
    if (n < 1)
        return;
    setTurningFlag(1);
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
        stopReadingAfterFlag();
        return;
    }
    if (m_state.AutoTurnFlag == 1) {
        if (!m_dialogs.question(m_controls.window, kAskStopTurning, kTitle))
            return;
        stopTurning();
    }
    const qint16 n = m_menus.ShowReadSpeedMenu();
    if (n < 1)
        return;
    m_state.AppSettings.PlayRate = n;
    m_speech.SetRate(m_state.AppSettings.PlayRate);
    startReading();
    setBorder(SpeechToggle, 1);
}

void ToolbarCommands::toggleReadingFromTray()
{
    if (m_state.ReadingFlag == 1) {
        stopReadingAfterFlag();
        return;
    }
    if (m_state.AutoTurnFlag == 1)
        stopTurning();
    setBorder(SpeechToggle, 1);
    startReading();
}

void ToolbarCommands::speechSettings()
{
    Voice *sp = m_speech.voice();
    if (sp && sp->IsUISupported(kVolumeUi))
        DisplayUI(*sp, m_controls.window, kVolumeTitle, kVolumeUi);
}
