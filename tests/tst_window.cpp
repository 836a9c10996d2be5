#include "app/AppSettings.h"
#include "fakes/TestFiles.h"
#include "fakes/WindowHarness.h"
#include "platform/RichTextView.h"
#include "speech/SpeechReading.h"
#include "ui/AdPanel.h"
#include "ui/ToolbarControls.h"
#include "ui/WindowLayout.h"

#include <QComboBox>
#include <QTest>

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void controlsStandAtTheirDesignPlaces();
    void layoutFollowsTheWindowSize();
    void closeHidesAndNeverWrites();
    void closeWithoutTrayOffersToLeave();
    void firstStartUsesDefaults();
    void loadAppliesSavedSettings();
    void savedVoiceIndexOutOfRange();
    void withoutSpeechEngineTheWindowStillWorks();
};

void TestWindow::controlsStandAtTheirDesignPlaces()
{
    WindowHarness h;
    h.start();
    frmMain &w = *h.window;
    QCOMPARE(w.windowTitle(), QString("Talvero"));
    QCOMPARE(w.size(), QSize(714, 587));
    QCOMPARE(w.webads->geometry(), QRect(0, 0, 1287, 60));
    QCOMPARE(w.picBar->geometry(), QRect(0, 60, 281, 31));
    QCOMPARE(w.cmbLanguage->geometry(), QRect(280, 68, 145, 20));
    QVERIFY(!w.cmbLanguage->isEditable());
    QCOMPARE(w.labCaption->geometry(), QRect(424, 64, 281, 25));
    QCOMPARE(w.rtb->geometry(), QRect(0, 90, 714, 497));
    QVERIFY(!w.picTray->isVisible());
    QVERIFY(!w.timScroll->isActive());

    const int lefts[] = {0, 30, 70, 102, 140, 168, 212, 246};
    const QStringList tips = {"上一页", "下一页", "打开文件", "关闭文件",
                              "自动翻页", "字体大小", "语音阅读", "语音设置"};
    for (int i = 0; i < 8; ++i) {
        ToolbarImage *image = w.img[size_t(i)];
        QCOMPARE(image->parentWidget(), w.picBar);
        QCOMPARE(image->geometry(), QRect(lefts[i], 4, 25, 25));
        QCOMPARE(image->toolTip(), tips[i]);
        QCOMPARE(image->BorderStyle(), 0);
        QCOMPARE(image->acceptDrops(), i == 2);
    }
    // The voice list is the only control after the view that takes focus
    // from the keyboard in the design's tab order.
    QCOMPARE(w.rtb->nextInFocusChain()->objectName().isEmpty(), false);
}

void TestWindow::layoutFollowsTheWindowSize()
{
    // The rule itself, at and around the design size.
    WindowLayout design = layoutForClientSize(QSize(714, 587));
    QCOMPARE(*design.view, QRect(0, 90, 714, 497));
    QCOMPARE(*design.captionWidth, 281);
    WindowLayout tiny = layoutForClientSize(QSize(300, 50));
    QVERIFY(!tiny.view);
    QVERIFY(!tiny.captionWidth);
    QCOMPARE(*layoutForClientSize(QSize(300, 200)).view, QRect(0, 90, 300, 110));

    WindowHarness h;
    h.start();
    frmMain &w = *h.window;
    w.resize(814, 587);
    QTRY_COMPARE(w.rtb->geometry(), QRect(0, 90, 814, 497));
    QCOMPARE(w.labCaption->geometry(), QRect(424, 64, 381, 25));
    QCOMPARE(w.cmbLanguage->geometry(), QRect(280, 68, 145, 20));
    QCOMPARE(w.webads->geometry(), QRect(0, 0, 1287, 60));
    w.resize(814, 687);
    QTRY_COMPARE(w.rtb->geometry(), QRect(0, 90, 814, 597));
    QCOMPARE(w.labCaption->width(), 381);
    // Too small: both keep their last bounds.
    w.resize(200, 60);
    QTRY_COMPARE(w.size(), QSize(200, 60));
    QCOMPARE(w.rtb->geometry(), QRect(0, 90, 814, 597));
    QCOMPARE(w.labCaption->width(), 381);
    w.resize(714, 587);
    QTRY_COMPARE(w.rtb->geometry(), QRect(0, 90, 714, 497));
    QCOMPARE(w.labCaption->width(), 281);
}

void TestWindow::closeHidesAndNeverWrites()
{
    WindowHarness h;
    h.start();
    QVERIFY(h.window->trayIconShown());
    QVERIFY(!h.window->close());
    QVERIFY(!h.window->isVisible());
    QVERIFY(h.dialogs.questionsAsked.isEmpty());
    QVERIFY(h.endedWith.isEmpty());
    QVERIFY(!QFile::exists(h.configPath()));
}

void TestWindow::closeWithoutTrayOffersToLeave()
{
    WindowHarness h;
    h.tray.available = false;
    h.start();
    QVERIFY(!h.window->trayIconShown());
    h.dialogs.answers = {false};
    h.window->close();
    QVERIFY(h.window->isVisible());
    QCOMPARE(h.dialogs.questionsAsked, QStringList{"你确定要退出程序吗?"});
    QCOMPARE(h.dialogs.titles.last(), QString("提示"));
    QVERIFY(h.endedWith.isEmpty());

    h.dialogs.answers = {true};
    h.window->close();
    QCOMPARE(h.endedWith, QList<int>{0});
    QVERIFY(!h.window->isVisible());
    QVERIFY(QFile::exists(h.configPath()));
}

void TestWindow::firstStartUsesDefaults()
{
    WindowHarness h({"English", "Chinese (Mandarin)", "cHiNeSe dialect"});
    h.start();
    frmMain &w = *h.window;
    QCOMPARE(w.cmbLanguage->count(), 3);
    QCOMPARE(w.cmbLanguage->itemText(0), QString("English"));
    QCOMPARE(w.cmbLanguage->itemText(1), QString("中文男声"));
    QCOMPARE(w.cmbLanguage->itemText(2), QString("中文男声"));
    QCOMPARE(w.cmbLanguage->currentIndex(), 0);
    QCOMPARE(h.voice->voice().description, QString("English"));
    QCOMPARE(h.voice->Rate(), 7);
    QCOMPARE(w.rtb->font().pointSize(), 10);
    QCOMPARE(w.rtb->Text(), QString());
    QCOMPARE(w.labCaption->text(), QString("中文男声语音包下载"));
    QCOMPARE(h.tray.calls.first().id, 1u);
    QCOMPARE(h.tray.tip, QString("Talvero"));
    // The voice was silenced once at load.
    QCOMPARE(h.voice->speaks.size(), 1);
    QCOMPARE(h.voice->speaks[0].flags, 2);

    // Each "中文男声" still picks its own voice.
    w.cmbLanguage->setCurrentIndex(2);
    QCOMPARE(h.voice->voice().description, QString("cHiNeSe dialect"));
    QCOMPARE(w.state.AppSettings.curLanguage, qint16(2));
}

void TestWindow::loadAppliesSavedSettings()
{
    WindowHarness h;
    const QString doc = h.file("小说.txt");
    writeFile(doc, gb18030("第一章\n天下大势，分久必合，合久必分。\n"));
    writeFile(h.configPath(), gb18030("[system]\nReadFileName=" + doc
                                      + "\nPlayPos=4\nPlayRate=3\nAutoRate=5\nFontSizes=20\n"
                                        "curLanguage=1\n"));
    h.start();
    frmMain &w = *h.window;
    QTRY_VERIFY(!w.rtb->isLoading());
    QCOMPARE(w.rtb->Text(), QString("第一章\n天下大势，分久必合，合久必分。\n"));
    QCOMPARE(w.rtb->SelStart(), 4);
    QCOMPARE(w.labCaption->text(), doc);
    QCOMPARE(w.rtb->font().pointSize(), 20);
    QCOMPARE(w.cmbLanguage->currentIndex(), 1);
    QCOMPARE(h.voice->voice().description, QString("English"));
    QCOMPARE(h.voice->Rate(), 3);
    QCOMPARE(w.state.AppSettings.AutoRate, qint16(5));

    // The exit writes the caret of that moment and the list's index.
    w.rtb->setSelStart(7);
    w.SetSetup();
    AppSettingsRecord back;
    back.ConfigPath = h.configPath();
    modMain::LoadSettings(back);
    QCOMPARE(back.PlayPos, 7);
    QCOMPARE(back.ReadFileName, doc);
    QCOMPARE(back.curLanguage, qint16(1));

    // A saved document that is gone: empty view, download link, name kept.
    QFile::remove(doc);
    WindowHarness again;
    writeFile(again.configPath(), readFile(h.configPath()));
    again.start();
    QCOMPARE(again.window->rtb->Text(), QString());
    QCOMPARE(again.window->labCaption->text(), QString("中文男声语音包下载"));
    QCOMPARE(again.window->state.AppSettings.ReadFileName, doc);
}

void TestWindow::savedVoiceIndexOutOfRange()
{
    WindowHarness h({"Chinese", "English"});
    writeFile(h.configPath(), "[system]\ncurLanguage=5\n");
    h.start();
    QCOMPARE(h.window->cmbLanguage->currentIndex(), -1);
    QCOMPARE(h.voice->voice().description, QString("Chinese"));   // the voice's default
    QCOMPARE(h.window->state.AppSettings.curLanguage, qint16(5));
    h.window->SetSetup();
    QVERIFY(readFile(h.configPath()).contains("curLanguage=-1"));
}

void TestWindow::withoutSpeechEngineTheWindowStillWorks()
{
    WindowHarness h({}, false);
    h.start();
    frmMain &w = *h.window;
    QCOMPARE(w.cmbLanguage->count(), 0);
    QVERIFY(w.isVisible());
    // Starting to read still switches the mode, silently.
    h.dialogs.menuChoices = {5};
    w.img[6]->setFocus();
    QTest::mouseClick(w.img[6], Qt::LeftButton);
    QCOMPARE(w.state.ReadingFlag, qint16(1));
    QCOMPARE(w.img[6]->BorderStyle(), 1);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
