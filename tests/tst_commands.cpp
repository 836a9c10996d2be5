#include "fakes/TestFiles.h"
#include "fakes/WindowHarness.h"
#include "platform/RichTextView.h"
#include "tray/PopupMenus.h"
#include "ui/ToolbarControls.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTest>

namespace {

enum { Prev = 0, Next = 1, Open = 2, Close = 3, AutoTurn = 4, Font = 5, Speech = 6, Volume = 7 };

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
        writeFile(doc, gb18030(chapter()));
        start();
    }
    frmMain &w() { return *window; }
    void click(int index) { QTest::mouseClick(window->img[size_t(index)], Qt::LeftButton); }
    int border(int index) { return window->img[size_t(index)]->BorderStyle(); }
    qint16 reading() { return window->state.ReadingFlag; }
    qint16 turning() { return window->state.AutoTurnFlag; }
    void openDoc()
    {
        dialogs.files = {doc};
        click(Open);
        QTRY_VERIFY(!window->rtb->isLoading());
    }
    // Idle -> Reading at speed 5.
    void startReading()
    {
        dialogs.menuChoices = {5};
        click(Speech);
        QCOMPARE(reading(), qint16(1));
    }
    void startTurning(qint16 seconds = 2)
    {
        dialogs.menuChoices = {seconds};
        click(AutoTurn);
        QCOMPARE(turning(), qint16(1));
    }
    QString doc;
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void menusListTheirValues();
    void pagingMovesOnlyTheView();
    void openAndCloseAFile();
    void readingModeStateMachine_data();
    void readingModeStateMachine();
    void readingFollowsTheSpokenWord();
    void pressedLook();
    void dropOpensTheFirstFile();
    void fontSizeAndVolumeDialog();
    void trayMenuCommands();
};

void TestCommands::menusListTheirValues()
{
    using namespace PopupMenuItems;
    const QList<MenuItem> speed = readSpeed(7);
    QCOMPARE(speed.size(), 10);
    QCOMPARE(speed.first().label, QString("语音阅读速度1"));
    QCOMPARE(speed.last().label, QString("语音阅读速度10"));
    QCOMPARE(speed.last().id, qint16(10));
    QVERIFY(speed[6].checked);
    QCOMPARE(std::count_if(speed.begin(), speed.end(), [](auto &i) { return i.checked; }), 1);
    // A value the menu does not offer marks nothing.
    for (qint16 odd : {qint16(0), qint16(11), qint16(99)}) {
        const QList<MenuItem> items = readSpeed(odd);
        QVERIFY(std::none_of(items.begin(), items.end(), [](auto &i) { return i.checked; }));
    }
    const QList<MenuItem> page = autoPage(3);
    QCOMPARE(page.first().label, QString("自动翻页速度1行1秒"));
    QCOMPARE(page.last().label, QString("自动翻页速度1行10秒"));
    QVERIFY(page[2].checked);
    const QList<MenuItem> fonts = fontSize(9);
    QCOMPARE(fonts.size(), 21);
    QCOMPARE(fonts.first().label, QString("字体大小10"));
    QCOMPARE(fonts.first().id, qint16(10));
    QCOMPARE(fonts.last().label, QString("字体大小30"));
    QVERIFY(std::none_of(fonts.begin(), fonts.end(), [](auto &i) { return i.checked; }));
    const QList<MenuItem> trayOn = tray(1);
    QCOMPARE(trayOn.size(), 4);
    QCOMPARE(trayOn[0].label, QString("显示窗口"));
    QCOMPARE(trayOn[3].label, QString("退出程序"));
    QVERIFY(trayOn[2].checked);
    QVERIFY(!tray(0)[2].checked);

    // The Qt filter of the open dialog.
    QCOMPARE(toQtNameFilters("文本文件|*.txt|所有文件|*.*"),
             QStringList({"文本文件 (*.txt)", "所有文件 (*)"}));
}

void TestCommands::pagingMovesOnlyTheView()
{
    Reader r;
    // No document: nothing happens.
    r.click(Next);
    r.click(Prev);
    QCOMPARE(r.w().rtb->verticalScrollBar()->value(), 0);

    r.openDoc();
    r.w().rtb->setSelStart(3);
    QScrollBar *bar = r.w().rtb->verticalScrollBar();
    r.click(Next);
    const int paged = bar->value();
    QVERIFY(paged > 0);
    QTest::keyClick(r.w().rtb, Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(bar->value() > paged);
    r.click(Prev);
    QVERIFY(bar->value() < bar->maximum());
    QCOMPARE(r.w().rtb->SelStart(), 3);
    QCOMPARE(r.border(Next), 0);

    // Automatic page turning: each tick is one line; the caret stays.
    r.startTurning(10);
    QCOMPARE(r.w().timScroll->interval(), 10000);
    const int before = bar->value();
    QVERIFY(QMetaObject::invokeMethod(r.w().timScroll, "timeout"));
    QCOMPARE(bar->value(), before + 1);
    QCOMPARE(r.w().rtb->SelStart(), 3);
    r.click(AutoTurn);
    r.startTurning(1);
    QCOMPARE(r.w().timScroll->interval(), 1000);
}

void TestCommands::openAndCloseAFile()
{
    Reader r;
    // Cancelled: nothing changes, a running mode goes on.
    r.startTurning();
    r.click(Open);
    QCOMPARE(r.dialogs.filters.last(), QString("文本文件|*.txt|所有文件|*.*"));
    QCOMPARE(r.turning(), qint16(1));
    QCOMPARE(r.w().labCaption->text(), QString("中文男声语音包下载"));

    r.openDoc();
    QCOMPARE(r.turning(), qint16(0));
    QCOMPARE(r.border(AutoTurn), 0);
    QVERIFY(!r.w().timScroll->isActive());
    QCOMPARE(r.w().rtb->Text(), chapter());
    QCOMPARE(r.w().labCaption->text(), r.doc);
    QCOMPARE(r.w().state.AppSettings.ReadFileName, r.doc);
    QCOMPARE(r.w().state.AppSettings.PlayPos, 1);
    QCOMPARE(r.w().rtb->SelStart(), 0);

    // Opening while reading stops the voice; the new file is not read.
    r.startReading();
    const int speaks = r.voice->speaks.size();
    r.openDoc();
    QCOMPARE(r.reading(), qint16(0));
    QCOMPARE(r.border(Speech), 0);
    QCOMPARE(r.voice->speaks.size(), speaks + 1);
    QCOMPARE(r.voice->speaks.last().flags, 2);

    // A file that cannot be read: the old text stays, the rest goes on.
    r.dialogs.files = {r.file("missing.txt")};
    r.click(Open);
    QCOMPARE(r.w().rtb->Text(), chapter());
    QCOMPARE(r.w().labCaption->text(), r.file("missing.txt"));

    // Close: empty view, the download link back, the name kept for next time.
    r.openDoc();
    r.w().rtb->setSelStart(40);
    r.startReading();
    r.click(Close);
    QCOMPARE(r.reading(), qint16(0));
    QCOMPARE(r.w().rtb->Text(), QString());
    QCOMPARE(r.w().labCaption->text(), QString("中文男声语音包下载"));
    QCOMPARE(r.w().state.AppSettings.ReadFileName, r.doc);
    r.w().SetSetup();
    QVERIFY(readFile(r.configPath()).contains("PlayPos=0\n"));
    // Only now does the label open the download.
    QTest::mouseClick(r.w().labCaption, Qt::LeftButton);
    QCOMPARE(r.shell.opened.size(), 1);
    QVERIFY(r.shell.opened[0].toString().endsWith("/download/speechSDK/SDK/5.1/WXP/EN-US/speechsdk51LangPack.exe"));
    r.openDoc();
    QTest::mouseClick(r.w().labCaption, Qt::LeftButton);
    QCOMPARE(r.shell.opened.size(), 1);
}

enum class Mode { Idle, Reading, Turning };

void TestCommands::readingModeStateMachine_data()
{
    QTest::addColumn<Mode>("from");
    QTest::addColumn<int>("button");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QList<qint16>>("menu");
    QTest::addColumn<Mode>("to");
    using M = Mode;
    QTest::newRow("idle, read, speed chosen") << M::Idle << int(Speech) << QList<bool>{} << QList<qint16>{5} << M::Reading;
    QTest::newRow("idle, turn, interval chosen") << M::Idle << int(AutoTurn) << QList<bool>{} << QList<qint16>{2} << M::Turning;
    QTest::newRow("idle, read, menu dismissed") << M::Idle << int(Speech) << QList<bool>{} << QList<qint16>{} << M::Idle;
    QTest::newRow("idle, turn, menu dismissed") << M::Idle << int(AutoTurn) << QList<bool>{} << QList<qint16>{} << M::Idle;
    QTest::newRow("reading, read") << M::Reading << int(Speech) << QList<bool>{} << QList<qint16>{} << M::Idle;
    QTest::newRow("reading, turn, OK, interval") << M::Reading << int(AutoTurn) << QList<bool>{true} << QList<qint16>{4} << M::Turning;
    QTest::newRow("reading, turn, OK, dismissed") << M::Reading << int(AutoTurn) << QList<bool>{true} << QList<qint16>{} << M::Idle;
    QTest::newRow("reading, turn, no") << M::Reading << int(AutoTurn) << QList<bool>{false} << QList<qint16>{4} << M::Reading;
    QTest::newRow("turning, turn") << M::Turning << int(AutoTurn) << QList<bool>{} << QList<qint16>{} << M::Idle;
    QTest::newRow("turning, read, OK, speed") << M::Turning << int(Speech) << QList<bool>{true} << QList<qint16>{9} << M::Reading;
    QTest::newRow("turning, read, OK, dismissed") << M::Turning << int(Speech) << QList<bool>{true} << QList<qint16>{} << M::Idle;
    QTest::newRow("turning, read, no") << M::Turning << int(Speech) << QList<bool>{false} << QList<qint16>{9} << M::Turning;
    QTest::newRow("reading, close") << M::Reading << int(Close) << QList<bool>{} << QList<qint16>{} << M::Idle;
    QTest::newRow("turning, close") << M::Turning << int(Close) << QList<bool>{} << QList<qint16>{} << M::Idle;
    QTest::newRow("reading, next page") << M::Reading << int(Next) << QList<bool>{} << QList<qint16>{} << M::Reading;
    QTest::newRow("turning, font size") << M::Turning << int(Font) << QList<bool>{} << QList<qint16>{} << M::Turning;
}

void TestCommands::readingModeStateMachine()
{
    QFETCH(Mode, from);
    QFETCH(int, button);
    QFETCH(QList<bool>, answers);
    QFETCH(QList<qint16>, menu);
    QFETCH(Mode, to);
    Reader r;
    r.openDoc();
    if (from == Mode::Reading)
        r.startReading();
    if (from == Mode::Turning)
        r.startTurning();
    const int questions = r.dialogs.questionsAsked.size();
    const int menus = r.dialogs.menusShown.size();
    r.dialogs.answers = answers;
    r.dialogs.menuChoices = menu;
    r.click(button);
    // The flags, the frames and the timer agree with the state.
    QCOMPARE(r.reading(), qint16(to == Mode::Reading));
    QCOMPARE(r.turning(), qint16(to == Mode::Turning));
    QCOMPARE(r.border(Speech), int(to == Mode::Reading));
    QCOMPARE(r.border(AutoTurn), int(to == Mode::Turning));
    QCOMPARE(r.w().timScroll->isActive(), to == Mode::Turning);
    // A question only when one mode gives way to the other; "no" ends the
    // command before its menu.
    QCOMPARE(r.dialogs.questionsAsked.size() - questions, int(answers.size()));
    if (!answers.isEmpty()) {
        QCOMPARE(r.dialogs.titles.last(), QStringLiteral("提示"));
        QCOMPARE(r.dialogs.questionsAsked.last(),
                 button == AutoTurn ? QStringLiteral("如果要自动翻页,将会停止语音阅读,您确定吗?")
                                    : QStringLiteral("如果要语音阅读,将会停止自动翻页,您确定吗?"));
        QCOMPARE(r.dialogs.menusShown.size() - menus, answers.first() ? 1 : 0);
    }
    if (to == Mode::Turning && from != Mode::Turning) {
        QCOMPARE(r.w().state.AppSettings.AutoRate, menu.first());
        QCOMPARE(r.w().timScroll->interval(), menu.first() * 1000);
    }
    if (to == Mode::Reading && from != Mode::Reading) {
        QCOMPARE(r.w().state.AppSettings.PlayRate, menu.first());
        QCOMPARE(r.voice->Rate(), int(menu.first()));
    }
}

void TestCommands::readingFollowsTheSpokenWord()
{
    Reader r;
    r.openDoc();
    RichTextView *rtb = r.w().rtb;
    rtb->setSelStart(10);
    r.startReading();
    QCOMPARE(r.w().state.AppSettings.PlayPos, 11);
    // Purge first, then the text from the caret on.
    QCOMPARE(r.voice->speaks.size(), 3);   // load silence, purge, text
    QCOMPARE(r.voice->speaks[1].flags, 2);
    QCOMPARE(r.voice->speaks[2].flags, 1);
    QCOMPARE(r.voice->speaks[2].text, chapter().mid(10));
    // Each word moves the caret to it, also back from where the user put it.
    r.voice->emitWord(0);
    QCOMPARE(rtb->SelStart(), 10);
    rtb->setSelStart(2000);
    r.voice->emitWord(7);
    QCOMPARE(rtb->SelStart(), 17);
    // Stopped: words that still arrive do not move the caret; the next start
    // is at the interrupted word.
    r.click(Speech);
    r.voice->emitWord(30);
    QCOMPARE(rtb->SelStart(), 17);
    r.startReading();
    QCOMPARE(r.voice->speaks.last().text, chapter().mid(17));
    // The end of the text is not the end of reading.
    r.voice->emitWord(qint32(chapter().size()) - 18);
    QCOMPARE(r.reading(), qint16(1));
    QCOMPARE(r.border(Speech), 1);

    // A caret at the very end speaks nothing but still reads "on".
    r.click(Speech);
    rtb->setSelStart(qint32(chapter().size()));
    r.startReading();
    QCOMPARE(r.voice->speaks.last().text, QString());
    QCOMPARE(r.border(Speech), 1);
}

void TestCommands::pressedLook()
{
    Reader r;
    ToolbarImage *next = r.w().img[Next];
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(next, button);
        QCOMPARE(next->BorderStyle(), 1);
        QTest::mouseRelease(next, button);
        QCOMPARE(next->BorderStyle(), 0);
    }
    // A press and a release outside: no click, so a running mode keeps on
    // without its frame; the next click switches it off.
    r.openDoc();
    r.startReading();
    ToolbarImage *speech = r.w().img[Speech];
    QTest::mousePress(speech, Qt::LeftButton);
    QTest::mouseRelease(speech, Qt::LeftButton, {}, QPoint(-20, -20));
    QCOMPARE(speech->BorderStyle(), 0);
    QCOMPARE(r.reading(), qint16(1));
    r.click(Speech);
    QCOMPARE(r.reading(), qint16(0));
    QCOMPARE(speech->BorderStyle(), 0);
}

void TestCommands::dropOpensTheFirstFile()
{
    Reader r;
    const QString second = r.file("b.txt");
    writeFile(second, "second");
    r.startReading();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(r.doc), QUrl::fromLocalFile(second),
                  QUrl("https://example.com/x.txt")});
    // Only the open-file button takes it.
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(r.w().img[Close], &refused);
    QVERIFY(!refused.isAccepted());
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(r.w().img[Open], &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(r.w().img[Open], &drop);
    QTRY_VERIFY(!r.w().rtb->isLoading());
    QCOMPARE(r.w().rtb->Text(), chapter());
    QCOMPARE(r.w().labCaption->text(), r.doc);
    QCOMPARE(r.reading(), qint16(0));
    QCOMPARE(r.w().state.AppSettings.PlayPos, 1);

    // Web addresses alone are not files: refused, nothing changes.
    QMimeData web;
    web.setUrls({QUrl("https://example.com/x.txt")});
    QDragEnterEvent webEnter(QPoint(5, 5), Qt::CopyAction, &web, Qt::LeftButton, {});
    QCoreApplication::sendEvent(r.w().img[Open], &webEnter);
    QVERIFY(!webEnter.isAccepted());
    // A folder dropped: it cannot load, the text stays.
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(r.dir.path())});
    QDropEvent folderDrop(QPointF(5, 5), Qt::CopyAction, &folder, Qt::LeftButton, {});
    QCoreApplication::sendEvent(r.w().img[Open], &folderDrop);
    QCOMPARE(r.w().rtb->Text(), chapter());
}

void TestCommands::fontSizeAndVolumeDialog()
{
    Reader r;
    r.click(Font);
    QCOMPARE(r.dialogs.menusShown.last()[0].label, QString("字体大小10"));
    QVERIFY(r.dialogs.menusShown.last()[0].checked);
    QCOMPARE(r.w().rtb->font().pointSize(), 10);
    r.dialogs.menuChoices = {24};
    r.click(Font);
    QCOMPARE(r.w().state.AppSettings.FontSizes, qint16(24));
    QCOMPARE(r.w().rtb->font().pointSize(), 24);

    r.click(Volume);
    QCOMPARE(r.voice->displayedTitles, QStringList{"My App's Sound Levels"});
    r.voice->volumeUi = false;
    r.click(Volume);
    QCOMPARE(r.voice->displayedTitles.size(), 1);
}

void TestCommands::trayMenuCommands()
{
    Reader r;
    r.openDoc();
    r.w().rtb->setSelStart(25);
    // "语音阅读" from the tray: from Turning straight to Reading, no question,
    // no speed menu, the rate as it is.
    r.startTurning();
    const int menus = r.dialogs.menusShown.size();
    r.dialogs.menuChoices = {3};
    r.tray.click(0x0204);
    QCOMPARE(r.dialogs.menusShown.size(), menus + 1);
    QVERIFY(!r.dialogs.menusShown.last()[2].checked);
    QCOMPARE(r.reading(), qint16(1));
    QCOMPARE(r.turning(), qint16(0));
    QCOMPARE(r.border(Speech), 1);
    QCOMPARE(r.border(AutoTurn), 0);
    QCOMPARE(r.w().state.AppSettings.PlayPos, 26);
    QCOMPARE(r.voice->speaks.last().text, chapter().mid(25));
    QVERIFY(r.dialogs.questionsAsked.isEmpty());
    // Its check mark follows the flag; choosing it again stops.
    r.dialogs.menuChoices = {3};
    r.tray.click(0x0204);
    QVERIFY(r.dialogs.menusShown.last()[2].checked);
    QCOMPARE(r.reading(), qint16(0));
    QCOMPARE(r.border(Speech), 0);

    // Left click hides and shows; other messages do nothing.
    r.tray.click(0x0202);
    QVERIFY(!r.w().isVisible());
    r.tray.click(0x0203);
    r.tray.click(0x0208);
    QVERIFY(!r.w().isVisible());
    r.tray.click(0x0202);
    QVERIFY(r.w().isVisible());
    r.dialogs.menuChoices = {2};
    r.tray.click(0x0204);
    QVERIFY(!r.w().isVisible());
    r.dialogs.menuChoices = {1};
    r.tray.click(0x0204);
    QVERIFY(r.w().isVisible());

    // Hiding does not stop page turning.
    r.startTurning();
    r.tray.click(0x0202);
    QVERIFY(r.w().timScroll->isActive());
    r.tray.click(0x0202);

    // "退出程序": Cancel changes nothing; OK removes the icon first, writes
    // the settings, hides and ends with status 0.
    r.dialogs.menuChoices = {4};
    r.dialogs.answers = {false};
    r.tray.click(0x0204);
    QVERIFY(r.endedWith.isEmpty());
    QVERIFY(r.tray.shown);
    QVERIFY(!QFile::exists(r.configPath()));
    r.w().rtb->setSelStart(33);
    r.dialogs.menuChoices = {4};
    r.dialogs.answers = {true};
    r.tray.click(0x0204);
    QCOMPARE(r.endedWith, QList<int>{0});
    QVERIFY(!r.tray.shown);
    QCOMPARE(r.tray.calls.last().message, int(NotifyArea::NIM_DELETE));
    QCOMPARE(r.tray.calls.last().id, 1u);
    QVERIFY(!r.w().isVisible());
    QVERIFY(readFile(r.configPath()).contains("PlayPos=33\n"));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
