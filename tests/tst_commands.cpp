// The toolbar commands, the reading-mode state machine and the tray menu,
// through the real window with scripted dialogs and a fake voice.
#include "fakes/Fakes.h"
#include "platform/RichTextView.h"
#include "tray/PopupMenus.h"
#include "tray/TrayIcon.h"
#include "ui/CaptionLabel.h"
#include "ui/ToolbarControls.h"

#include <QAccessible>
#include <QApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace ControlSet;

namespace {

enum class Mode { Idle, Reading, Turning };
constexpr int kTrayToggle = 100;   // not a button: the tray menu's 语音阅读

QString chapter()
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("第%1段 天下大势，分久必合，合久必分。\n").arg(i);
    return text;
}

struct Reader : WindowHarness {
    Reader()
    {
        doc = file("a.txt");
        ready = writeFile(doc, gb18030(chapter())) && start();
    }
    void click(int command)
    {
        if (command == kTrayToggle) {
            dialogs.menuChoices.prepend(ReadAloud);
            tray.click(NotifyArea::WM_RBUTTONDOWN);
        } else {
            w().img[size_t(command)]->click();
        }
    }
    int border(int index) { return w().img[size_t(index)]->BorderStyle(); }
    Mode mode()
    {
        const bool reading = w().state.ReadingFlag == 1;
        const bool turning = w().state.AutoTurnFlag == 1;
        return reading ? (turning ? Mode(-1) : Mode::Reading) : turning ? Mode::Turning : Mode::Idle;
    }
    bool enter(Mode m)
    {
        dialogs.files = {doc};
        click(OpenFile);
        if (!decoded(*w().rtb))
            return false;
        dialogs.menuChoices = {5};
        if (m != Mode::Idle)
            click(m == Mode::Reading ? SpeechToggle : AutoTurn);
        return mode() == m;
    }
    QString doc;
    bool ready = false;
};

} // namespace

Q_DECLARE_METATYPE(Mode)

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void menuItems_data();
    void menuItems();
    void stateMachine_data();
    void stateMachine();
    void nestedEvents_data();
    void nestedEvents();
    void switchesReportTheirModeAtOnce();
    void readingFollowsTheSpokenWord();
    void pagingAndTurningMoveOnlyTheView();
    void openCloseAndDrop();
    void pressedLook();
    void fontSizeAndVolumeDialog();
    void trayMessages_data();
    void trayMessages();
    void exitThroughTheTray();
};

void TestCommands::menuItems_data()
{
    QTest::addColumn<QList<MenuItem>>("items");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("lastId");
    QTest::addColumn<int>("checked");   // position of the check mark, -1 none
    using namespace PopupMenuItems;
    QTest::newRow("speed 7") << readSpeed(7) << "语音阅读速度1" << "语音阅读速度10" << 10 << 6;
    QTest::newRow("speed 0") << readSpeed(0) << "语音阅读速度1" << "语音阅读速度10" << 10 << -1;
    QTest::newRow("speed 11") << readSpeed(11) << "语音阅读速度1" << "语音阅读速度10" << 10 << -1;
    QTest::newRow("interval 3") << autoPage(3) << "自动翻页速度1行1秒" << "自动翻页速度1行10秒" << 10 << 2;
    QTest::newRow("font 9") << fontSize(9) << "字体大小10" << "字体大小30" << 30 << -1;
    QTest::newRow("font 36") << fontSize(36) << "字体大小10" << "字体大小30" << 30 << -1;
    QTest::newRow("tray reading") << tray(1) << "显示窗口" << "退出程序" << int(ExitProgram) << 2;
    QTest::newRow("tray idle") << tray(0) << "显示窗口" << "退出程序" << int(ExitProgram) << -1;
}

void TestCommands::menuItems()
{
    QFETCH(QList<MenuItem>, items);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, lastId);
    QFETCH(int, checked);
    QCOMPARE(items.first().label, first);
    QCOMPARE(items.last().label, last);
    QCOMPARE(items.last().id, qint16(lastId));
    QCOMPARE(items.last().id - items.first().id + 1, items.size());
    QList<int> marks;
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].checked)
            marks << i;
    }
    QCOMPARE(marks, checked < 0 ? QList<int>{} : QList<int>{checked});
}

void TestCommands::stateMachine_data()
{
    QTest::addColumn<Mode>("from");
    QTest::addColumn<int>("command");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QList<qint16>>("menu");
    QTest::addColumn<Mode>("to");
    using M = Mode;
    using A = QList<bool>;
    using C = QList<qint16>;
    QTest::newRow("idle, read, speed") << M::Idle << int(SpeechToggle) << A{} << C{5} << M::Reading;
    QTest::newRow("idle, turn, interval") << M::Idle << int(AutoTurn) << A{} << C{2} << M::Turning;
    QTest::newRow("idle, read, dismissed") << M::Idle << int(SpeechToggle) << A{} << C{} << M::Idle;
    QTest::newRow("idle, turn, dismissed") << M::Idle << int(AutoTurn) << A{} << C{} << M::Idle;
    QTest::newRow("reading, read") << M::Reading << int(SpeechToggle) << A{} << C{} << M::Idle;
    QTest::newRow("reading, turn, OK") << M::Reading << int(AutoTurn) << A{true} << C{4} << M::Turning;
    QTest::newRow("reading, turn, OK, dismissed") << M::Reading << int(AutoTurn) << A{true} << C{} << M::Idle;
    QTest::newRow("reading, turn, no") << M::Reading << int(AutoTurn) << A{false} << C{4} << M::Reading;
    QTest::newRow("turning, turn") << M::Turning << int(AutoTurn) << A{} << C{} << M::Idle;
    QTest::newRow("turning, read, OK") << M::Turning << int(SpeechToggle) << A{true} << C{9} << M::Reading;
    QTest::newRow("turning, read, OK, dismissed") << M::Turning << int(SpeechToggle) << A{true} << C{} << M::Idle;
    QTest::newRow("turning, read, no") << M::Turning << int(SpeechToggle) << A{false} << C{9} << M::Turning;
    QTest::newRow("reading, close") << M::Reading << int(CloseFile) << A{} << C{} << M::Idle;
    QTest::newRow("turning, close") << M::Turning << int(CloseFile) << A{} << C{} << M::Idle;
    QTest::newRow("reading, tray") << M::Reading << kTrayToggle << A{} << C{} << M::Idle;
    QTest::newRow("turning, tray") << M::Turning << kTrayToggle << A{} << C{} << M::Reading;
    QTest::newRow("idle, tray") << M::Idle << kTrayToggle << A{} << C{} << M::Reading;
    QTest::newRow("reading, next page") << M::Reading << int(NextPage) << A{} << C{} << M::Reading;
    QTest::newRow("turning, font size") << M::Turning << int(FontSize) << A{} << C{} << M::Turning;
}

void TestCommands::stateMachine()
{
    QFETCH(Mode, from);
    QFETCH(int, command);
    QFETCH(QList<bool>, answers);
    QFETCH(QList<qint16>, menu);
    QFETCH(Mode, to);
    Reader r;
    QVERIFY(r.ready && r.enter(from));
    const qsizetype questions = r.dialogs.asked.size();
    const qsizetype menus = r.dialogs.menus.size();
    const qint16 rate = r.w().state.AppSettings.PlayRate;
    r.dialogs.answers = answers;
    r.dialogs.menuChoices = menu;
    r.click(command);
    QCOMPARE(r.mode(), to);
    // The frames and the timer agree with the flags.
    QCOMPARE(r.border(SpeechToggle), int(to == Mode::Reading));
    QCOMPARE(r.border(AutoTurn), int(to == Mode::Turning));
    QCOMPARE(r.w().timScroll->isActive(), to == Mode::Turning);
    // A question only when one mode gives way to the other; "no" ends the
    // command before its menu; the tray asks nothing and keeps the rate.
    QCOMPARE(r.dialogs.asked.size() - questions, answers.size());
    if (!answers.isEmpty())
        QCOMPARE(r.dialogs.menus.size() - menus, answers.first() ? 1 : 0);
    if (command == kTrayToggle)
        QCOMPARE(r.w().state.AppSettings.PlayRate, rate);
    if (to != from && to == Mode::Turning)
        QCOMPARE(r.w().timScroll->interval(), menu.first() * 1000);
    if (to != from && to == Mode::Reading && command == SpeechToggle)
        QCOMPARE(r.voice->Rate(), int(menu.first()));
}

// Events that run inside a command's waits: a word of the voice or a
// page-turn tick, in PlayStop's pass of pending events, in a question box
// or in a menu.
void TestCommands::nestedEvents_data()
{
    QTest::addColumn<Mode>("from");
    QTest::addColumn<int>("command");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QString>("during");   // "stop", "question", "menu"
    QTest::addColumn<bool>("takesEffect"); // the word moves the caret, the tick scrolls
    using M = Mode;
    using A = QList<bool>;
    QTest::newRow("stop reading: word pending stays") << M::Reading << int(SpeechToggle) << A{} << "stop" << false;
    QTest::newRow("turning instead: word pending stays") << M::Reading << int(AutoTurn) << A{true} << "stop" << false;
    QTest::newRow("tray stop: word pending stays") << M::Reading << kTrayToggle << A{} << "stop" << false;
    QTest::newRow("close: word pending still moves") << M::Reading << int(CloseFile) << A{} << "stop" << true;
    QTest::newRow("open: word pending still moves") << M::Reading << int(OpenFile) << A{} << "stop" << true;
    QTest::newRow("word in the question moves") << M::Reading << int(AutoTurn) << A{false} << "question" << true;
    QTest::newRow("word in the interval menu stays") << M::Reading << int(AutoTurn) << A{true} << "menu" << false;
    QTest::newRow("word in the speed menu stays") << M::Idle << int(SpeechToggle) << A{} << "menu" << false;
    QTest::newRow("tick in the question scrolls") << M::Turning << int(SpeechToggle) << A{false} << "question" << true;
    QTest::newRow("no tick in the speed menu") << M::Turning << int(SpeechToggle) << A{true} << "menu" << false;
    QTest::newRow("tick in the tray menu scrolls") << M::Turning << kTrayToggle << A{} << "menu" << true;
}

void TestCommands::nestedEvents()
{
    QFETCH(Mode, from);
    QFETCH(int, command);
    QFETCH(QList<bool>, answers);
    QFETCH(QString, during);
    QFETCH(bool, takesEffect);
    Reader r;
    QVERIFY(r.ready && r.enter(from));
    r.w().rtb->setSelStart(100);
    r.w().state.AppSettings.PlayPos = 101;
    QScrollBar *bar = r.w().rtb->verticalScrollBar();
    const int top = bar->value();
    QList<qint32> carets;
    connect(r.w().rtb, &QPlainTextEdit::cursorPositionChanged, this,
            [&] { carets << r.w().rtb->SelStart(); });
    // As the event loop would deliver them at that moment.
    const auto word = [&] { r.voice->emitWord(7); };
    const auto tick = [&] {
        if (r.w().timScroll->isActive())
            QMetaObject::invokeMethod(r.w().timScroll, "timeout");
    };
    const auto event = from == Mode::Turning ? std::function<void()>(tick) : word;
    r.dialogs.answers = answers;
    if (during == "stop") {
        r.dialogs.files = {r.doc};
        QTimer::singleShot(0, r.voice, word);   // pending: handled in PlayStop's pass
    } else if (during == "question") {
        r.dialogs.duringWait = event;
    } else {
        // The menu's wait comes after the question's, if any.
        r.dialogs.duringWait = answers.isEmpty() ? event : [&] { r.dialogs.duringWait = event; };
    }
    r.click(command);
    QCOMPARE(carets.contains(107), takesEffect && from != Mode::Turning);
    QCOMPARE(bar->value() > top, takesEffect && from == Mode::Turning);
}

void TestCommands::switchesReportTheirModeAtOnce()
{
    // While the interval menu is open, speech reading has already stopped:
    // its switch no longer says "checked".
    QAccessible::setActive(true);
    Reader r;
    QVERIFY(r.ready && r.enter(Mode::Reading));
    QAccessibleInterface *reading = QAccessible::queryAccessibleInterface(r.w().img[SpeechToggle]);
    QVERIFY(reading->state().checked);
    bool checkedInMenu = true;
    r.dialogs.answers = {true};
    r.dialogs.menuChoices = {2};
    r.dialogs.duringWait = [&] { r.dialogs.duringWait = [&] { checkedInMenu = reading->state().checked; }; };
    r.click(AutoTurn);
    QVERIFY(!checkedInMenu);
    QVERIFY(!reading->state().checked);
    QVERIFY(QAccessible::queryAccessibleInterface(r.w().img[AutoTurn])->state().checked);
}

void TestCommands::readingFollowsTheSpokenWord()
{
    Reader r;
    QVERIFY(r.ready && r.enter(Mode::Idle));
    RichTextView *rtb = r.w().rtb;
    r.dialogs.menuChoices = {5, 5, 5};
    rtb->setSelStart(10);
    r.click(SpeechToggle);
    QCOMPARE(r.w().state.AppSettings.PlayPos, 11);
    QCOMPARE(r.voice->spoken.last().text, chapter().mid(10));
    QCOMPARE(r.voice->spoken.last().flags, Voice::SVSFlagsAsync);
    QCOMPARE(r.voice->spoken[r.voice->spoken.size() - 2].flags, Voice::SVSFPurgeBeforeSpeak);
    // Each word puts the caret on it, also back from where the user put it.
    r.voice->emitWord(0);
    QCOMPARE(rtb->SelStart(), 10);
    rtb->setSelStart(2000);
    r.voice->emitWord(7);
    QCOMPARE(rtb->SelStart(), 17);
    // Stopped: late words do nothing; the next start is at the word.
    r.click(SpeechToggle);
    r.voice->emitWord(30);
    QCOMPARE(rtb->SelStart(), 17);
    r.click(SpeechToggle);
    QCOMPARE(r.voice->spoken.last().text, chapter().mid(17));
    // The end of the text does not end reading; a caret at the end reads
    // nothing and stays "on".
    r.voice->emitWord(qint32(chapter().size()) - 18);
    QCOMPARE(r.mode(), Mode::Reading);
    r.click(SpeechToggle);
    rtb->setSelStart(qint32(chapter().size()));
    r.click(SpeechToggle);
    QCOMPARE(r.voice->spoken.last().text, QString());
    QCOMPARE(r.border(SpeechToggle), 1);
}

void TestCommands::pagingAndTurningMoveOnlyTheView()
{
    Reader r;
    QVERIFY(r.ready);
    r.click(NextPage);   // no document: nothing at all
    QCOMPARE(r.w().rtb->verticalScrollBar()->value(), 0);
    QVERIFY(r.enter(Mode::Idle));
    r.w().rtb->setSelStart(3);
    QScrollBar *bar = r.w().rtb->verticalScrollBar();
    r.click(NextPage);
    const int paged = bar->value();
    QVERIFY(paged > 0);
    QTest::keyClick(r.w().rtb, Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(bar->value() > paged);
    r.click(PreviousPage);
    QVERIFY(bar->value() < bar->maximum());
    r.dialogs.menuChoices = {10};
    r.click(AutoTurn);
    const int before = bar->value();
    QMetaObject::invokeMethod(r.w().timScroll, "timeout");
    QCOMPARE(bar->value(), before + 1);
    QCOMPARE(r.w().rtb->SelStart(), 3);
}

void TestCommands::openCloseAndDrop()
{
    Reader r;
    QVERIFY(r.ready && r.enter(Mode::Turning));
    // Cancelled: nothing changes, the mode goes on.
    r.click(OpenFile);
    QCOMPARE(r.dialogs.filters.last(), QString("文本文件|*.txt|所有文件|*.*"));
    QCOMPARE(r.mode(), Mode::Turning);
    // A file that cannot be read: the old text stays, the rest goes on.
    r.dialogs.files = {r.file("missing.txt")};
    r.click(OpenFile);
    QVERIFY(decoded(*r.w().rtb));
    QCOMPARE(r.w().rtb->Text(), chapter());
    QCOMPARE(r.w().labCaption->text(), r.file("missing.txt"));
    QCOMPARE(r.w().state.AppSettings.PlayPos, 1);
    QCOMPARE(r.mode(), Mode::Idle);

    // Close: empty view, download link, the name kept for the next start.
    QVERIFY(r.enter(Mode::Reading));
    r.click(CloseFile);
    QCOMPARE(r.w().rtb->Text(), QString());
    QVERIFY(r.w().labCaption->showsDownloadLink());
    QCOMPARE(r.w().state.AppSettings.ReadFileName, r.doc);
    QTest::mouseClick(r.w().labCaption, Qt::LeftButton);
    QCOMPARE(r.shell.opened.size(), 1);
    QVERIFY(r.shell.opened[0].path().endsWith("/speechSDK/SDK/5.1/WXP/EN-US/speechsdk51LangPack.exe"));

    // A drop opens the first file, only on the open button; web addresses
    // and drops without files are refused there.
    const QString second = r.file("b.txt");
    QVERIFY(writeFile(second, "second"));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(second), QUrl::fromLocalFile(r.doc), QUrl("https://x.org/a")});
    QMimeData web;
    web.setUrls({QUrl("https://x.org/a.txt")});
    for (auto [target, data, accepted] : {std::tuple(CloseFile, &files, false),
                                          std::tuple(OpenFile, &web, false),
                                          std::tuple(OpenFile, &files, true)}) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(r.w().img[size_t(target)], &enter);
        QCOMPARE(enter.isAccepted(), accepted);
    }
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, {});
    QCoreApplication::sendEvent(r.w().img[OpenFile], &drop);
    QVERIFY(decoded(*r.w().rtb));
    QCOMPARE(r.w().rtb->Text(), QString("second"));
    QCOMPARE(r.w().labCaption->text(), second);
    QTest::mouseClick(r.w().labCaption, Qt::LeftButton);
    QCOMPARE(r.shell.opened.size(), 1);
}

void TestCommands::pressedLook()
{
    Reader r;
    QVERIFY(r.ready && r.enter(Mode::Reading));
    ToolbarImage *next = r.w().img[NextPage];
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(next, button);
        QCOMPARE(next->BorderStyle(), 1);
        QTest::mouseRelease(next, button);
        QCOMPARE(next->BorderStyle(), 0);
    }
    // Pressed and released outside: no click; the mode goes on unframed.
    ToolbarImage *speech = r.w().img[SpeechToggle];
    QTest::mousePress(speech, Qt::LeftButton);
    QTest::mouseRelease(speech, Qt::LeftButton, {}, QPoint(-20, -20));
    QCOMPARE(speech->BorderStyle(), 0);
    QCOMPARE(r.mode(), Mode::Reading);
    QTest::mouseClick(speech, Qt::LeftButton);
    QCOMPARE(r.mode(), Mode::Idle);
}

void TestCommands::fontSizeAndVolumeDialog()
{
    Reader r;
    QVERIFY(r.ready);
    r.click(FontSize);
    QCOMPARE(r.w().rtb->font().pointSize(), 10);
    r.dialogs.menuChoices = {24};
    r.click(FontSize);
    QCOMPARE(r.w().state.AppSettings.FontSizes, qint16(24));
    QCOMPARE(r.w().rtb->font().pointSize(), 24);

    QStringList shown;
    const auto closeDialog = [&] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            shown << dialog->windowTitle();
            dialog->close();
        }
    };
    QTimer::singleShot(0, this, closeDialog);
    r.click(SpeechSettings);
    r.voice->volumeUi = false;   // a voice without the dialog: nothing opens
    QTimer::singleShot(0, this, closeDialog);
    r.click(SpeechSettings);
    QTest::qWait(10);
    QCOMPARE(shown, QStringList{"My App's Sound Levels"});
}

void TestCommands::trayMessages_data()
{
    QTest::addColumn<bool>("shownBefore");
    QTest::addColumn<int>("message");
    QTest::addColumn<qint16>("menuChoice");
    QTest::addColumn<bool>("shownAfter");
    QTest::newRow("left release hides") << true << NotifyArea::WM_LBUTTONUP << qint16(0) << false;
    QTest::newRow("left release shows") << false << NotifyArea::WM_LBUTTONUP << qint16(0) << true;
    QTest::newRow("double click does nothing") << false << NotifyArea::WM_LBUTTONDBLCLK << qint16(0) << false;
    QTest::newRow("middle does nothing") << true << NotifyArea::WM_MBUTTONUP << qint16(0) << true;
    QTest::newRow("menu: show") << false << NotifyArea::WM_RBUTTONDOWN << qint16(ShowWindow) << true;
    QTest::newRow("menu: show when shown") << true << NotifyArea::WM_RBUTTONDOWN << qint16(ShowWindow) << true;
    QTest::newRow("menu: hide") << true << NotifyArea::WM_RBUTTONDOWN << qint16(HideWindow) << false;
    QTest::newRow("menu dismissed") << true << NotifyArea::WM_RBUTTONDOWN << qint16(0) << true;
}

void TestCommands::trayMessages()
{
    QFETCH(bool, shownBefore);
    QFETCH(int, message);
    QFETCH(qint16, menuChoice);
    QFETCH(bool, shownAfter);
    Reader r;
    QVERIFY(r.ready && r.enter(Mode::Turning));
    r.w().setVisible(shownBefore);
    r.dialogs.menuChoices = {menuChoice};
    r.tray.click(message);
    QCOMPARE(r.w().isVisible(), shownAfter);
    QCOMPARE(r.dialogs.menus.size(), message == NotifyArea::WM_RBUTTONDOWN ? 2 : 1);
    QCOMPARE(r.mode(), Mode::Turning);   // hiding never stops a mode
}

void TestCommands::exitThroughTheTray()
{
    Reader r;
    QVERIFY(r.ready && r.enter(Mode::Reading));
    r.w().rtb->setSelStart(33);
    // Cancel: the icon stays and nothing is written.
    r.dialogs.menuChoices = {ExitProgram};
    r.dialogs.answers = {false};
    r.tray.click(NotifyArea::WM_RBUTTONDOWN);
    QCOMPARE(r.dialogs.asked.last(), TrayIcon::kExitQuestion);
    QVERIFY(r.endedWith.isEmpty() && r.tray.shown && !QFile::exists(r.configPath()));
    // OK: the icon goes (the id it was registered with), the settings get
    // the caret of that moment, the process ends.
    r.dialogs.menuChoices = {ExitProgram};
    r.dialogs.answers = {true};
    r.tray.click(NotifyArea::WM_RBUTTONDOWN);
    QCOMPARE(r.tray.calls.last(), std::pair(int(NotifyArea::NIM_DELETE), 1u));
    QCOMPARE(r.endedWith, QList<int>{0});
    QVERIFY(!r.w().isVisible());
    QVERIFY(readFile(r.configPath()).contains("PlayPos=33\n"));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
