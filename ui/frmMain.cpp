#include "frmMain.h"

#include "app/AppSettings.h"
#include "platform/Dialogs.h"
#include "platform/RichTextView.h"
#include "speech/SpeechReading.h"
#include "speech/Voice.h"
#include "tray/TrayIcon.h"
#include "ui/Accessibility.h"
#include "ui/AdPanel.h"
#include "ui/CaptionLabel.h"
#include "ui/SettingsKeeper.h"
#include "ui/ToolbarCommands.h"
#include "ui/ToolbarControls.h"
#include "ui/WindowLayout.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

namespace {

QFont viewFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("黑体"), QStringLiteral("SimHei"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("sans-serif")});
    font.setPointSize(9);
    font.setWeight(QFont::Normal);
    return font;
}

// An existing ordinary file: not a folder, not hidden, not a device.
bool isOrdinaryFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

} // namespace

static void initResources()
{
    // The resources live in the static library.
    Q_INIT_RESOURCE(resources);
}

frmMain::frmMain(const MainWindowServices &services, QWidget *parent)
    : QWidget(parent), menus(*services.dialogs, this, state), m_services(services)
{
    initResources();
    installAccessibility();
    setWindowTitle(kCaption);
    setAccessibleName(kCaption);
    setWindowIcon(QIcon(QStringLiteral(":/talvero.svg")));
    resize(ControlSet::kClientSize);

    createBanner();
    createToolBand();
    createView();
    createReading();
    tray = new TrayIcon(m_services.notifyArea, *this, menus, *m_services.dialogs, this);
    connectEvents();
    settings = new SettingsKeeper(*this, m_services.configPath);
}

frmMain::~frmMain() = default;

void frmMain::createBanner()
{
    webads = new AdPanel(*m_services.shell, this);
    webads->setObjectName(QStringLiteral("webads"));
    // Marked for what it is, and left out of the keyboard's way.
    webads->setAccessibleName(QStringLiteral("广告"));
    webads->setAccessibleDescription(QStringLiteral("广告栏，与阅读无关"));
    webads->setFocusPolicy(Qt::NoFocus);
    webads->setGeometry(ControlSet::kWebAds);

    // Only a receiver of the tray's messages; never shown.
    picTray = new QWidget(this);
    picTray->setObjectName(QStringLiteral("picTray"));
    picTray->setGeometry(ControlSet::kPicTray);
    picTray->hide();
}

void frmMain::createToolBand()
{
    picBar = new ToolbarStrip(this);
    picBar->setObjectName(QStringLiteral("picBar"));
    picBar->setGeometry(ControlSet::kPicBar);
    for (int i = 0; i < ControlSet::kImageCount; ++i) {
        auto *image = new ToolbarImage(i, picBar);
        image->setObjectName(QStringLiteral("img(%1)").arg(i));
        image->setGeometry(ControlSet::imageRect(i));
        image->setAcceptsFiles(i == ControlSet::OpenFile);
        image->setToggle(i == ControlSet::AutoTurn || i == ControlSet::SpeechToggle);
        img[size_t(i)] = image;
    }

    cmbLanguage = new QComboBox(this);
    cmbLanguage->setObjectName(QStringLiteral("cmbLanguage"));
    cmbLanguage->setEditable(false);
    cmbLanguage->setGeometry(ControlSet::kLanguage);
    // On Linux a list's accessible name is its current entry; what it is for
    // comes from its label. This one is there for assistive technology only:
    // no room on screen, nothing drawn.
    cmbLanguage->setAccessibleName(QStringLiteral("语音"));
    cmbLanguage->setAccessibleDescription(QStringLiteral("语音"));
    auto *languageLabel = new QLabel(QStringLiteral("语音"), this);
    languageLabel->setObjectName(QStringLiteral("cmbLanguageLabel"));
    languageLabel->setGeometry(ControlSet::kLanguage.left(), ControlSet::kLanguage.top(), 0, 0);
    languageLabel->setBuddy(cmbLanguage);

    labCaption = new CaptionLabel(this);
    labCaption->setObjectName(QStringLiteral("labCaption"));
    labCaption->setGeometry(ControlSet::kCaption);
}

void frmMain::createView()
{
    rtb = new RichTextView(this);
    rtb->setObjectName(QStringLiteral("rtb"));
    rtb->setGeometry(ControlSet::kView);
    rtb->setFont(viewFont());
    rtb->setAccessibleName(QStringLiteral("正文"));
    timScroll = new QTimer(this);
    timScroll->setObjectName(QStringLiteral("timScroll"));
    // Tab order as designed: the view, then the voice list (the toolbar,
    // the banner and the label take no keyboard focus).
    setTabOrder(rtb, cmbLanguage);
}

void frmMain::createReading()
{
    speech = new SpeechReading(state, *rtb, *m_services.shell, this);
    ToolbarCommands::Controls controls;
    controls.window = this;
    controls.rtb = rtb;
    controls.timScroll = timScroll;
    controls.labCaption = labCaption;
    controls.img = img;
    commands = new ToolbarCommands(state, controls, *speech, menus, *m_services.dialogs, this);
}

void frmMain::connectEvents()
{
    for (ToolbarImage *image : img) {
        connect(image, &ToolbarImage::MouseDown, commands, &ToolbarCommands::img_MouseDown);
        connect(image, &ToolbarImage::MouseUp, commands, &ToolbarCommands::img_MouseUp);
        connect(image, &ToolbarImage::Click, commands, &ToolbarCommands::img_Click);
        connect(image, &ToolbarImage::OLEDragDrop, commands,
                [this](int, const QStringList &paths) { commands->img_OLEDragDrop(paths); });
    }
    connect(rtb, &RichTextView::KeyDown, this, [this](int key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Space)
            rtb->scroll(RichTextView::SB_PAGEDOWN);
    });
    connect(timScroll, &QTimer::timeout, this, [this] { rtb->scroll(RichTextView::SB_LINEDOWN); });
    connect(labCaption, &CaptionLabel::Click, this, [this] {
        if (labCaption->showsDownloadLink())
            speech->openVoicePackDownload();
    });
    connect(tray, &TrayIcon::readingToggled, commands, &ToolbarCommands::toggleReadingFromTray);
    connect(commands, &ToolbarCommands::modeChanged, tray, &TrayIcon::refreshMenu);
    connect(tray, &TrayIcon::exitConfirmed, this, &frmMain::exitProgram);
}

void frmMain::Form_Load()
{
    // 1-2: the tray record, then the icon.
    tray->registerIcon(windowIcon(), windowTitle());

    // 3-4: the voice and its list.
    if (m_services.createVoice)
        sp = m_services.createVoice(this);
    speech->setVoice(sp);
    fillVoiceList();

    // 5-7: settings path, advertisement, tool-tips.
    state.AppSettings.ConfigPath = m_services.configPath;
    webads->Navigate2(m_services.adsUrl);
    const QStringList tips = kToolTips.split(u',');
    for (int i = 0; i < ControlSet::kImageCount && i < tips.size(); ++i)
        img[size_t(i)]->setToolTip(tips[i]);

    // 8-12: read and apply the settings.
    modMain::LoadSettings(state.AppSettings);
    const int saved = state.AppSettings.curLanguage;
    if (saved >= 0 && saved < cmbLanguage->count())
        cmbLanguage->setCurrentIndex(saved); // runs the list's Click
    rtb->setFontSize(state.AppSettings.FontSizes);
    if (sp)
        sp->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    speech->SetRate(state.AppSettings.PlayRate);

    // 13-14: the download link, then the last document over it.
    labCaption->showDownloadLink();
    if (isOrdinaryFile(state.AppSettings.ReadFileName))
        LoadReadFile();
    settings->keepStartPlace();
}

void frmMain::fillVoiceList()
{
    const QSignalBlocker blocker(cmbLanguage);
    cmbLanguage->clear();
    addNewVoices();
    // Filled but not chosen: the saved choice is applied after the settings.
    cmbLanguage->setCurrentIndex(-1);
    connect(cmbLanguage, &QComboBox::currentIndexChanged, speech, &SpeechReading::cmbLanguage_Click,
            Qt::UniqueConnection);
    if (sp)
        connect(sp, &Voice::voicesChanged, this, &frmMain::voicesArrived, Qt::UniqueConnection);
}

void frmMain::addNewVoices()
{
    const QList<VoiceToken> voices = sp ? sp->GetVoices() : QList<VoiceToken>();
    for (qsizetype i = cmbLanguage->count(); i < voices.size(); ++i) {
        QString name = voices[i].GetDescription();
        if (name.toUpper().contains(QLatin1String("CHINESE")))
            name = QStringLiteral("中文男声");
        cmbLanguage->addItem(name);
    }
}

// Voices of the speech service come after start-up; a saved choice among
// them, which the list could not take then, takes effect now.
void frmMain::voicesArrived()
{
    {
        const QSignalBlocker blocker(cmbLanguage);
        addNewVoices();
    }
    const int saved = state.AppSettings.curLanguage;
    if (cmbLanguage->currentIndex() < 0 && saved >= 0 && saved < cmbLanguage->count())
        cmbLanguage->setCurrentIndex(saved); // runs the list's Click
}

void frmMain::LoadReadFile()
{
    rtb->LoadFile(state.AppSettings.ReadFileName);
    rtb->setSelStart(state.AppSettings.PlayPos);
    rtb->SetFocus();
    labCaption->setText(state.AppSettings.ReadFileName);
}

bool frmMain::SetSetup()
{
    return settings->write();
}

void frmMain::exitProgram()
{
    if (m_exiting)
        return;
    m_exiting = true;
    tray->deleteIcon();
    settings->writeLast();
    hide(); // unloading would only hide it: the Unload handler refuses
    if (sp)
        sp->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    if (m_services.endProcess)
        m_services.endProcess(0);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (!m_exiting && !tray->isShown()) {
        // Without a tray icon a hidden window could not be brought back or
        // left, so closing offers to leave instead.
        if (tray->confirmExit())
            exitProgram();
        return;
    }
    hide();
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!rtb || !labCaption)
        return;
    const WindowLayout layout = layoutForClientSize(size());
    if (layout.view)
        rtb->Move(layout.view->left(), layout.view->top(), layout.view->width(),
                  layout.view->height());
    if (layout.captionWidth)
        labCaption->resize(*layout.captionWidth, labCaption->height());
}
