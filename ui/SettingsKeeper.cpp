#include "SettingsKeeper.h"

#include "app/ReadingCheckpoint.h"
#include "app/SettingsWriter.h"
#include "platform/RichTextView.h"
#include "ui/ToolbarCommands.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QThread>

SettingsKeeper::SettingsKeeper(frmMain &window, const QString &configPath)
    : QObject(&window), m_window(window), m_writer(std::make_unique<SettingsWriter>(configPath))
{
    m_checkpoint = new ReadingCheckpoint(
        *m_writer, [this] { return values(); }, kCheckpointPeriod, this);
    ReaderState &state = window.state;
    connect(window.commands, &ToolbarCommands::modeChanged, this, [this, &state] {
        m_checkpoint->setActive(state.ReadingFlag == 1 || state.AutoTurnFlag == 1);
    });
    connect(window.commands, &ToolbarCommands::documentChanged, this,
            [this] { m_startPlace.reset(); });
    // Fresh values for a write from another thread; each caret move is cheap.
    connect(window.rtb, &RichTextView::cursorPositionChanged, this,
            [this] { m_writer->remember(values()); });
}

SettingsKeeper::~SettingsKeeper() = default;

void SettingsKeeper::keepStartPlace()
{
    const AppSettingsRecord &saved = m_window.state.AppSettings;
    if (!saved.ReadFileName.isEmpty())
        m_startPlace = Place{saved.ReadFileName, saved.PlayPos};
    m_writer->remember(values());
}

modMain::SetupValues SettingsKeeper::values() const
{
    const AppSettingsRecord &s = m_window.state.AppSettings;
    modMain::SetupValues v{s.ReadFileName, m_window.rtb->SelStart(),
                           s.PlayRate,     s.AutoRate,
                           s.FontSizes,    m_window.cmbLanguage->currentIndex()};
    if (m_startPlace && m_window.rtb->Text().isEmpty()) {
        // The document could not be reopened: its place must outlive this run.
        v.ReadFileName = m_startPlace->file;
        v.caret = m_startPlace->caret;
    }
    return v;
}

bool SettingsKeeper::write()
{
    return m_writer->write(values());
}

bool SettingsKeeper::writeLast()
{
    return m_writer->writeLast(values());
}

bool SettingsKeeper::writeLastKnown()
{
    // Reading the controls touches no display, but only their own thread may.
    const bool windowThread = QThread::currentThread() == thread();
    return m_writer->writeLast(windowThread ? values() : m_writer->remembered());
}
