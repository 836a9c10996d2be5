// Start-up with and without saved settings, and the layout rule.
#include "fakes/Fakes.h"
#include "platform/RichTextView.h"
#include "ui/AdPanel.h"
#include "ui/CaptionLabel.h"
#include "ui/ToolbarControls.h"

#include <QComboBox>
#include <QTest>

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void firstStart()
    {
        WindowHarness h({"English", "Chinese (Mandarin)", "cHiNeSe dialect"});
        QVERIFY(h.start());
        frmMain &w = h.w();
        QCOMPARE(w.cmbLanguage->count(), 3);
        QCOMPARE(w.cmbLanguage->itemText(1), QString("中文男声"));
        QCOMPARE(w.cmbLanguage->itemText(2), QString("中文男声"));
        QCOMPARE(w.cmbLanguage->currentIndex(), 0);
        QCOMPARE(h.voice->voice().description, QString("English"));
        QCOMPARE(h.voice->Rate(), 7);
        QCOMPARE(w.rtb->font().pointSize(), 10);
        QVERIFY(w.labCaption->showsDownloadLink());
        QVERIFY(h.tray.shown);
        QCOMPARE(h.voice->spoken.size(), 1); // silenced once at load
        w.cmbLanguage->setCurrentIndex(2); // each 中文男声 picks its own voice
        QCOMPARE(h.voice->voice().description, QString("cHiNeSe dialect"));
        QCOMPARE(w.state.AppSettings.curLanguage, qint16(2));
    }

    void savedSettingsAreApplied_data()
    {
        QTest::addColumn<QString>("settings"); // %1: the document's path
        QTest::addColumn<bool>("withDocument");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<QString>("written"); // after an exit at once
        QTest::newRow("document, caret, voice") << "ReadFileName=%1\nPlayPos=4\nPlayRate=3\nFontSizes=20\ncurLanguage=1\n" << true << 4 << 1 << "PlayPos=4\nPlayRate=3\nAutoRate=3\nFontSizes=20\ncurLanguage=1\n";
        QTest::newRow("no PlayPos: after the first character") << "ReadFileName=%1\n" << true << 1 << 0 << "PlayPos=1\n";
        QTest::newRow("document gone: name kept") << "ReadFileName=%1\nPlayPos=4\n" << false << 0 << 0 << "ReadFileName=%1\nPlayPos=0\n";
        QTest::newRow("voice beyond the list: none, -1") << "curLanguage=5\n" << false << 0 << -1 << "curLanguage=-1\n";
        QTest::newRow("no voice chosen") << "curLanguage=-1\n" << false << 0 << -1 << "curLanguage=-1\n";
    }

    void savedSettingsAreApplied()
    {
        QFETCH(QString, settings);
        QFETCH(bool, withDocument);
        QFETCH(int, caret);
        QFETCH(int, listIndex);
        QFETCH(QString, written);
        WindowHarness h;
        const QString doc = h.file("小说.txt"), text = QStringLiteral("第一章\n天下大势，分久必合。\n");
        QVERIFY(!withDocument || writeFile(doc, gb18030(text)));
        QVERIFY(writeFile(h.configPath(), gb18030("[system]\n" + settings.arg(doc))));
        QVERIFY(h.start() && decoded(*h.w().rtb));
        QCOMPARE(h.w().rtb->Text(), withDocument ? text : QString());
        QCOMPARE(h.w().rtb->SelStart(), caret);
        QCOMPARE(h.w().labCaption->text(), withDocument ? doc : CaptionLabel::kDownloadCaption);
        QCOMPARE(h.w().cmbLanguage->currentIndex(), listIndex);
        QCOMPARE(h.voice->voice().description, QString(listIndex == 1 ? "English" : "Chinese (Mandarin)"));
        QVERIFY(h.w().SetSetup());
        for (const QString &line : written.arg(doc).split('\n', Qt::SkipEmptyParts))
            QVERIFY2(readFile(h.configPath()).contains(gb18030(line + '\n')), qPrintable(line));
    }

    void layoutFollowsTheSize()
    {
        WindowHarness h;
        QVERIFY(h.start());
        frmMain &w = h.w();
        const QRect list = w.cmbLanguage->geometry(), banner = w.webads->geometry(), view = w.rtb->geometry();
        const int label = w.labCaption->width();
        QCOMPARE(view.size(), w.size() - QSize(0, 90));
        w.resize(w.width() + 100, w.height() + 100);
        QTRY_COMPARE(w.rtb->geometry(), view.adjusted(0, 0, 100, 100));
        QCOMPARE(w.labCaption->width(), label + 100);
        QCOMPARE(w.cmbLanguage->geometry(), list);
        QCOMPARE(w.webads->geometry(), banner);
        w.resize(200, 60); // too small, as when minimised: both keep their size
        QTRY_COMPARE(w.size(), QSize(200, 60));
        QCOMPARE(w.rtb->geometry(), view.adjusted(0, 0, 100, 100));
        QCOMPARE(w.labCaption->width(), label + 100);
    }
};


QTEST_MAIN(TestWindow)
#include "tst_window.moc"
