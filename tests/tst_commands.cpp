// The toolbar commands, the reading-mode state machine and the tray menu,
// through the real window with scripted dialogs and a fake voice.
#include "app/ReadingCheckpoint.h"
#include "fakes/Fakes.h"
#include "platform/RichTextView.h"
#include "speech/SpeechReading.h"
#include "tray/PopupMenus.h"
#include "tray/TrayIcon.h"
#include "ui/CaptionLabel.h"
#include "ui/SettingsKeeper.h"
#include "ui/ToolbarControls.h"

#include <QAccessible>
#include <QApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace ControlSet;

namespace {

enum class Mode { Idle, Reading, Turning };
constexpr int kTrayToggle = 100;     // not a button: the tray menu's 语音阅读
constexpr int kHostMenuToggle = 101; // the same item, in a menu the tray draws
using Answers = QList<bool>;
using Choices = QList<qint16>;

QString chapter()
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("第%1段 天下大势，分久必合，合久必分。\n").arg(i);
    return text;
}

struct Reader : WindowHarness {
    Reader() { ready = writeFile(file("a.txt"), gb18030(chapter())) && start(); }
    void click(int command)
    {
        if (command == kHostMenuToggle)
            return tray.choose(ReadAloud);
        if (command != kTrayToggle)
            return w().img[size_t(command)]->click();
        dialogs.menuChoices.prepend(ReadAloud);
        tray.click(NotifyArea::WM_RBUTTONDOWN);
    }
    int border(int index) { return w().img[size_t(index)]->BorderStyle(); }
    bool on(int i) { return QAccessible::queryAccessibleInterface(w().img[i])->state().checked; }
    Mode mode() { return Mode((w().state.ReadingFlag == 1) + 2 * (w().state.AutoTurnFlag == 1)); }
    bool enter(Mode m) // opens the chapter, then the mode
    {
        dialogs.files = {file("a.txt")};
        click(OpenFile);
        dialogs.menuChoices = {5};
        if (decoded(*w().rtb) && m != Mode::Idle)
            click(m == Mode::Reading ? SpeechToggle : AutoTurn);
        return ready && mode() == m;
    }
    bool ready = false;
};

} // namespace

Q_DECLARE_METATYPE(Mode)

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QAccessible::setActive(true); }

    void stateMachine_data()
    {
        QTest::addColumn<Mode>("from");
        QTest::addColumn<int>("command");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<Choices>("menu");
        QTest::addColumn<Mode>("to");
        using M = Mode;
        // clang-format off
        QTest::newRow("idle, read, speed") << M::Idle << int(SpeechToggle) << Answers{} << Choices{5} << M::Reading;
        QTest::newRow("idle, turn, interval") << M::Idle << int(AutoTurn) << Answers{} << Choices{2} << M::Turning;
        QTest::newRow("idle, read, dismissed") << M::Idle << int(SpeechToggle) << Answers{} << Choices{} << M::Idle;
        QTest::newRow("idle, turn, dismissed") << M::Idle << int(AutoTurn) << Answers{} << Choices{} << M::Idle;
        QTest::newRow("reading, read") << M::Reading << int(SpeechToggle) << Answers{} << Choices{} << M::Idle;
        QTest::newRow("reading, turn, OK") << M::Reading << int(AutoTurn) << Answers{true} << Choices{4} << M::Turning;
        QTest::newRow("reading, turn, OK, dismissed") << M::Reading << int(AutoTurn) << Answers{true} << Choices{} << M::Idle;
        QTest::newRow("reading, turn, no") << M::Reading << int(AutoTurn) << Answers{false} << Choices{4} << M::Reading;
        QTest::newRow("turning, turn") << M::Turning << int(AutoTurn) << Answers{} << Choices{} << M::Idle;
        QTest::newRow("turning, read, OK") << M::Turning << int(SpeechToggle) << Answers{true} << Choices{9} << M::Reading;
        QTest::newRow("turning, read, OK, dismissed") << M::Turning << int(SpeechToggle) << Answers{true} << Choices{} << M::Idle;
        QTest::newRow("turning, read, no") << M::Turning << int(SpeechToggle) << Answers{false} << Choices{9} << M::Turning;
        QTest::newRow("reading, close") << M::Reading << int(CloseFile) << Answers{} << Choices{} << M::Idle;
        QTest::newRow("turning, close") << M::Turning << int(CloseFile) << Answers{} << Choices{} << M::Idle;
        QTest::newRow("reading, tray") << M::Reading << kTrayToggle << Answers{} << Choices{} << M::Idle;
        QTest::newRow("turning, tray") << M::Turning << kTrayToggle << Answers{} << Choices{} << M::Reading;
        QTest::newRow("idle, tray") << M::Idle << kTrayToggle << Answers{} << Choices{} << M::Reading;
        QTest::newRow("turning, host's menu") << M::Turning << kHostMenuToggle << Answers{} << Choices{} << M::Reading;
        QTest::newRow("reading, host's menu") << M::Reading << kHostMenuToggle << Answers{} << Choices{} << M::Idle;
        QTest::newRow("reading, next page") << M::Reading << int(NextPage) << Answers{} << Choices{} << M::Reading;
        QTest::newRow("turning, font size") << M::Turning << int(FontSize) << Answers{} << Choices{} << M::Turning;
        // clang-format on
    }

    void stateMachine()
    {
        QFETCH(Mode, from);
        QFETCH(int, command);
        QFETCH(Answers, answers);
        QFETCH(Choices, menu);
        QFETCH(Mode, to);
        Reader r;
        QVERIFY(r.enter(from));
        const qsizetype questions = r.dialogs.asked.size(), menus = r.dialogs.menus.size();
        const qint16 rate = r.w().state.AppSettings.PlayRate;
        r.dialogs.answers = answers;
        r.dialogs.menuChoices = menu;
        r.click(command);
        QCOMPARE(r.mode(), to);
        QCOMPARE(r.border(SpeechToggle), int(to == Mode::Reading)); // the frames show the mode
        QCOMPARE(r.border(AutoTurn), int(to == Mode::Turning));
        QCOMPARE(r.on(SpeechToggle), to == Mode::Reading); // and so do the switches
        QCOMPARE(r.on(AutoTurn), to == Mode::Turning);
        QCOMPARE(r.w().timScroll->isActive(), to == Mode::Turning);
        QCOMPARE(r.tray.menuItems.value(2).checked, to == Mode::Reading); // as the tray draws it
        QCOMPARE(r.w().speech->isSounding(), to == Mode::Reading);
        QCOMPARE(r.w().settings->checkpoint().isActive(),
                 to != Mode::Idle); // saves while a mode runs
        // A question only when one mode gives way to the other; "no" ends the
        // command before its menu; the tray asks nothing and keeps the rate.
        QCOMPARE(r.dialogs.asked.size() - questions, answers.size());
        if (!answers.isEmpty())
            QCOMPARE(r.dialogs.menus.size() - menus, answers.first() ? 1 : 0);
        if (command >= kTrayToggle)
            QCOMPARE(r.w().state.AppSettings.PlayRate, rate);
        if (to != from && to == Mode::Turning)
            QCOMPARE(r.w().timScroll->interval(), menu.first() * 1000);
        if (to != from && to == Mode::Reading && command == SpeechToggle)
            QCOMPARE(r.voice->Rate(), int(menu.first()));
    }

    // A word of the voice or a page-turn tick that the event loop delivers in
    // one of a command's waits: PlayStop's pass of events, a question, a menu.
    void nestedEvents_data()
    {
        QTest::addColumn<Mode>("from");
        QTest::addColumn<int>("command");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<QString>("during");
        QTest::addColumn<bool>("takesEffect"); // the word moves the caret, the tick scrolls
        using M = Mode;
        // clang-format off
        QTest::newRow("stop reading: pending word stays") << M::Reading << int(SpeechToggle) << Answers{} << "stop" << false;
        QTest::newRow("turning instead: pending word stays") << M::Reading << int(AutoTurn) << Answers{true} << "stop" << false;
        QTest::newRow("tray stop: pending word stays") << M::Reading << kTrayToggle << Answers{} << "stop" << false;
        QTest::newRow("close: pending word still moves") << M::Reading << int(CloseFile) << Answers{} << "stop" << true;
        QTest::newRow("open: pending word still moves") << M::Reading << int(OpenFile) << Answers{} << "stop" << true;
        QTest::newRow("word in the question moves") << M::Reading << int(AutoTurn) << Answers{false} << "question" << true;
        QTest::newRow("word in the interval menu stays") << M::Reading << int(AutoTurn) << Answers{true} << "menu" << false;
        QTest::newRow("word in the speed menu stays") << M::Idle << int(SpeechToggle) << Answers{} << "menu" << false;
        QTest::newRow("tick in the question scrolls") << M::Turning << int(SpeechToggle) << Answers{false} << "question" << true;
        QTest::newRow("no tick in the speed menu") << M::Turning << int(SpeechToggle) << Answers{true} << "menu" << false;
        QTest::newRow("tick in the tray menu scrolls") << M::Turning << kTrayToggle << Answers{} << "menu" << true;
        // clang-format on
    }

    void nestedEvents()
    {
        QFETCH(Mode, from);
        QFETCH(int, command);
        QFETCH(Answers, answers);
        QFETCH(QString, during);
        QFETCH(bool, takesEffect);
        Reader r;
        QVERIFY(r.enter(from));
        r.w().rtb->setSelStart(100);
        r.w().state.AppSettings.PlayPos = 101;
        const int top = r.w().rtb->verticalScrollBar()->value();
        QList<qint32> carets;
        connect(r.w().rtb, &RichTextView::cursorPositionChanged, this,
                [&] { carets << r.w().rtb->SelStart(); });
        const std::function<void()> event = [&] {
            if (from != Mode::Turning)
                r.voice->emitWord(7);
            else if (r.w().timScroll->isActive()) // as the event loop would
                QMetaObject::invokeMethod(r.w().timScroll, "timeout");
        };
        r.dialogs.answers = answers;
        r.dialogs.files = {r.file("a.txt")};
        if (during == "stop")
            QTimer::singleShot(0, r.voice, event); // pending: handled in PlayStop's pass
        else if (during == "question" || answers.isEmpty())
            r.dialogs.duringWait = event;
        else // the menu's wait comes after the question's
            r.dialogs.duringWait = [&] { r.dialogs.duringWait = event; };
        r.click(command);
        QCOMPARE(carets.contains(107), takesEffect && from != Mode::Turning);
        QCOMPARE(r.w().rtb->verticalScrollBar()->value() > top,
                 takesEffect && from == Mode::Turning);
    }

    void readingFollowsTheSpokenWord()
    {
        Reader r;
        QVERIFY(r.enter(Mode::Idle));
        RichTextView *rtb = r.w().rtb;
        r.dialogs.menuChoices = {5, 5, 5};
        rtb->setSelStart(10);
        r.click(SpeechToggle);
        QCOMPARE(r.w().state.AppSettings.PlayPos, 11);
        QCOMPARE(r.voice->spoken.last().text, chapter().mid(10));
        QCOMPARE(r.voice->spoken.last().flags, Voice::SVSFlagsAsync);
        QCOMPARE(r.voice->spoken[r.voice->spoken.size() - 2].flags, Voice::SVSFPurgeBeforeSpeak);
        r.voice->emitWord(0); // each word puts the caret on it, also back from elsewhere
        QCOMPARE(rtb->SelStart(), 10);
        rtb->setSelStart(2000);
        r.voice->emitWord(7);
        QCOMPARE(rtb->SelStart(), 17);
        r.click(SpeechToggle); // stopped: late words do nothing; the next start is at the word
        r.voice->emitWord(30);
        r.click(SpeechToggle);
        QCOMPARE(r.voice->spoken.last().text, chapter().mid(17));
        r.voice->emitWord(qint32(chapter().size())
                          - 18); // the end of the text is not the end of reading
        emit r.voice->EndStream();
        QCOMPARE(r.mode(), Mode::Reading);
        QVERIFY(!r.w().speech->isSounding()); // but of the sound
        r.click(SpeechToggle);
        rtb->setSelStart(qint32(chapter().size()));
        r.click(SpeechToggle); // a caret at the end reads nothing, and stays on
        QCOMPARE(r.voice->spoken.last().text, QString());
        QCOMPARE(r.border(SpeechToggle), 1);
        QVERIFY(!r.w().speech->isSounding());
    }

    void pagingTurningAndFontMoveOnlyTheView()
    {
        Reader r;
        QScrollBar *bar = r.w().rtb->verticalScrollBar();
        r.click(NextPage); // no document: nothing at all
        QCOMPARE(bar->value(), 0);
        QVERIFY(r.enter(Mode::Idle));
        r.w().rtb->setSelStart(3);
        r.click(NextPage);
        const int paged = bar->value();
        QTest::keyClick(r.w().rtb, Qt::Key_Space,
                        Qt::ShiftModifier); // one page on: never back, never two
        QVERIFY(paged > 0);
        QCOMPARE(bar->value(), 2 * paged);
        r.click(PreviousPage);
        QVERIFY(bar->value() < bar->maximum());
        r.dialogs.menuChoices = {10, 0, 24};
        r.click(AutoTurn);
        const int before = bar->value();
        QMetaObject::invokeMethod(r.w().timScroll, "timeout");
        QCOMPARE(bar->value() - before, 1); // a tick scrolls one line
        QCOMPARE(r.w().rtb->SelStart(), 3); // and leaves the caret
        r.click(FontSize);                  // dismissed: nothing
        QCOMPARE(r.w().rtb->font().pointSize(), 10);
        r.click(FontSize);
        QCOMPARE(r.w().rtb->font().pointSize(), 24);
        QCOMPARE(r.w().state.AppSettings.FontSizes, qint16(24));
    }

    void openCloseAndDrop()
    {
        Reader r;
        QVERIFY(r.enter(Mode::Turning));
        r.click(OpenFile); // cancelled: nothing changes
        QCOMPARE(r.mode(), Mode::Turning);
        r.dialogs.files = {
            r.file("missing.txt")}; // unreadable: the old text stays, the rest goes on
        r.click(OpenFile);
        QCOMPARE(r.w().rtb->Text(), chapter());
        QCOMPARE(r.w().labCaption->text(), r.file("missing.txt"));
        QCOMPARE(r.w().state.AppSettings.PlayPos, 1);
        QCOMPARE(r.mode(), Mode::Idle);
        QVERIFY(r.enter(Mode::Reading));
        r.click(CloseFile); // empty view, download link; the name kept
        QVERIFY(r.w().rtb->Text().isEmpty());
        QCOMPARE(r.w().state.AppSettings.ReadFileName, r.file("a.txt"));
        QTest::mouseClick(r.w().labCaption, Qt::LeftButton);
        QVERIFY(r.shell.opened.value(0).path().endsWith(
            "/speechSDK/SDK/5.1/WXP/EN-US/speechsdk51LangPack.exe"));
        // A drop opens its first file, only on the open button; web
        // addresses alone are refused there.
        QVERIFY(writeFile(r.file("b.txt"), "second"));
        QMimeData files, web;
        files.setUrls({QUrl::fromLocalFile(r.file("b.txt")), QUrl::fromLocalFile(r.file("a.txt"))});
        web.setUrls({QUrl("https://x.org/a.txt")});
        for (auto [target, data, accepted] : {std::tuple(CloseFile, &files, false),
                                              {OpenFile, &web, false},
                                              {OpenFile, &files, true}}) {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(r.w().img[size_t(target)], &enter);
            QCOMPARE(enter.isAccepted(), accepted);
        }
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, {});
        QCoreApplication::sendEvent(r.w().img[OpenFile], &drop);
        QVERIFY(decoded(*r.w().rtb));
        QCOMPARE(r.w().rtb->Text(), QString("second"));
        QTest::mouseClick(r.w().labCaption, Qt::LeftButton); // a path now: no download
        QCOMPARE(r.shell.opened.size(), 1);
    }

    void pressedLookAndVolumeDialog()
    {
        Reader r;
        QVERIFY(r.enter(Mode::Reading));
        QTest::mousePress(r.w().img[NextPage], Qt::RightButton); // any button
        QCOMPARE(r.border(NextPage), 1);
        QTest::mouseRelease(r.w().img[NextPage], Qt::RightButton);
        QCOMPARE(r.border(NextPage), 0);
        QTest::mousePress(r.w().img[SpeechToggle], Qt::LeftButton); // released outside: no click
        QTest::mouseRelease(r.w().img[SpeechToggle], Qt::LeftButton, {}, QPoint(-20, -20));
        QCOMPARE(r.border(SpeechToggle), 0);
        QCOMPARE(r.mode(), Mode::Reading);
        QStringList shown;
        const auto closeDialog = [&] {
            if (QWidget *dialog = QApplication::activeModalWidget())
                shown << dialog->windowTitle(), dialog->close();
        };
        QTimer::singleShot(0, this, closeDialog);
        r.click(SpeechSettings);
        r.voice->volumeUi = false; // a voice without the dialog: nothing opens
        QTimer::singleShot(0, this, closeDialog);
        r.click(SpeechSettings);
        QTest::qWait(10);
        QCOMPARE(shown, QStringList{"My App's Sound Levels"});
    }

    void trayMessages_data()
    {
        QTest::addColumn<bool>("shownBefore");
        QTest::addColumn<int>("message");
        QTest::addColumn<qint16>("item");
        QTest::addColumn<bool>("shownAfter");
        // clang-format off
        QTest::newRow("double click alone") << false << NotifyArea::WM_LBUTTONDBLCLK << qint16(0) << false;
        QTest::newRow("middle button") << true << NotifyArea::WM_MBUTTONUP << qint16(0) << true;
        QTest::newRow("menu: show") << false << NotifyArea::WM_RBUTTONDOWN << qint16(ShowWindow) << true;
        QTest::newRow("menu: show when shown") << true << NotifyArea::WM_RBUTTONDOWN << qint16(ShowWindow) << true;
        QTest::newRow("menu: hide") << true << NotifyArea::WM_RBUTTONDOWN << qint16(HideWindow) << false;
        QTest::newRow("menu dismissed") << true << NotifyArea::WM_RBUTTONDOWN << qint16(0) << true;
        // clang-format on
    }

    void trayMessages()
    {
        QFETCH(bool, shownBefore);
        QFETCH(int, message);
        QFETCH(qint16, item);
        QFETCH(bool, shownAfter);
        Reader r;
        QVERIFY(r.enter(Mode::Turning));
        r.w().setVisible(shownBefore);
        r.dialogs.menuChoices = {item};
        r.tray.click(message);
        QCOMPARE(r.w().isVisible(), shownAfter);
        QCOMPARE(r.dialogs.menus.size(), message == NotifyArea::WM_RBUTTONDOWN ? 2 : 1);
        QCOMPARE(r.mode(), Mode::Turning); // hiding never stops a mode
    }

    // While the exit question waits, the tray neither hides the window nor
    // asks a second time.
    void trayWaitsForItsQuestion()
    {
        Reader r;
        const qsizetype questions = r.dialogs.asked.size();
        r.dialogs.duringWait = [&r] {
            r.tray.click(NotifyArea::WM_LBUTTONUP);
            r.tray.choose(ExitProgram);
        };
        r.tray.choose(ExitProgram);
        QCOMPARE(r.dialogs.asked.size() - questions, 1);
        QVERIFY(r.w().isVisible());
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
