// The main window: its menus, start-up with and without saved settings, the
// layout rule; its document view: failed loads, a big file whole at once
// with long lines, the caret, and reading aloud while a big file still decodes.
#include "app/ReaderState.h"
#include "fakes/Fakes.h"
#include "platform/DisplayMap.h"
#include "platform/DocumentLoader.h"
#include "platform/RichTextView.h"
#include "speech/SpeechReading.h"
#include "tray/PopupMenus.h"
#include "ui/Accessibility.h"
#include "ui/AdPanel.h"
#include "ui/CaptionLabel.h"
#include "ui/ToolbarCommands.h"
#include "ui/ToolbarControls.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

QString novel(int paragraphs)
{
    QString text;
    for (int i = 0; i < paragraphs; ++i)
        text += QStringLiteral(
                    "第%1回 话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。\n")
                    .arg(i);
    return text;
}

struct Shown : RichTextView {
    Shown()
    {
        installAccessibility();
        resize(400, 300);
        show();
        exposed = QTest::qWaitForWindowExposed(this);
    }
    bool exposed = false;
};

// The text again from the view's paragraphs: every character in one, the
// display breaks taking none.
QString fromParagraphs(const QString &text, const DisplayMap &map)
{
    QString out;
    for (qsizetype p = 0; p < map.count(); ++p)
        out += text.mid(map.start(p), map.end(p) - map.start(p))
               + (p + 1 < map.count() && map.end(p) < map.start(p + 1) ? "\n" : "");
    return out;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void menuItems_data()
    {
        QTest::addColumn<QList<MenuItem>>("items");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("checked"); // position of the check mark, -1 none
        using namespace PopupMenuItems;
        QTest::newRow("speed 7") << readSpeed(7) << 10 << 6;
        QTest::newRow("speed 0") << readSpeed(0) << 10 << -1;
        QTest::newRow("speed 11") << readSpeed(11) << 10 << -1;
        QTest::newRow("interval 3") << autoPage(3) << 10 << 2;
        QTest::newRow("font 9") << fontSize(9) << 21 << -1;
        QTest::newRow("font 36") << fontSize(36) << 21 << -1;
    }

    void menuItems()
    {
        QFETCH(QList<MenuItem>, items);
        QFETCH(int, count);
        QFETCH(int, checked);
        QCOMPARE(items.size(), count);
        QList<int> marks;
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(items[i].id, qint16(items[0].id + i));
            if (items[i].checked)
                marks << i;
        }
        QCOMPARE(marks, checked < 0 ? QList<int>{} : QList<int>{checked});
    }

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
        w.cmbLanguage->setCurrentIndex(2);   // each 中文男声 picks its own voice
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
        // clang-format off
        QTest::newRow("document, caret, voice") << "ReadFileName=%1\nPlayPos=4\nPlayRate=3\nFontSizes=20\ncurLanguage=1\n" << true << 4 << 1 << "PlayPos=4\nPlayRate=3\nAutoRate=3\nFontSizes=20\ncurLanguage=1\n";
        QTest::newRow("no PlayPos: after the first character") << "ReadFileName=%1\n" << true << 1 << 0 << "PlayPos=1\n";
        QTest::newRow("document gone: its place kept") << "ReadFileName=%1\nPlayPos=4\n" << false << 0 << 0 << "ReadFileName=%1\nPlayPos=4\n";
        QTest::newRow("a folder: its place kept") << "ReadFileName=%2\nPlayPos=9\n" << false << 0 << 0 << "ReadFileName=%2\nPlayPos=9\n";
        QTest::newRow("voice beyond the list: none, -1") << "curLanguage=5\n" << false << 0 << -1 << "curLanguage=-1\n";
        QTest::newRow("no voice chosen") << "curLanguage=-1\n" << false << 0 << -1 << "curLanguage=-1\n";
        // clang-format on
    }

    void savedSettingsAreApplied()
    {
        QFETCH(QString, settings);
        QFETCH(bool, withDocument);
        QFETCH(int, caret);
        QFETCH(int, listIndex);
        QFETCH(QString, written);
        WindowHarness h;
        const QString doc = h.file("小说.txt"),
                      text = QStringLiteral("第一章\n天下大势，分久必合。\n");
        QVERIFY(!withDocument || writeFile(doc, gb18030(text)));
        const auto fill = [&](QString s) {
            return s.replace("%1", doc).replace("%2", h.dir.path());
        };
        QVERIFY(writeFile(h.configPath(), gb18030("[system]\n" + fill(settings))));
        QVERIFY(h.start());
        QVERIFY(decoded(*h.w().rtb));
        QCOMPARE(h.w().rtb->Text(), withDocument ? text : QString());
        QCOMPARE(h.w().rtb->SelStart(), caret);
        QCOMPARE(h.w().labCaption->text(), withDocument ? doc : CaptionLabel::kDownloadCaption);
        QCOMPARE(h.w().cmbLanguage->currentIndex(), listIndex);
        QCOMPARE(h.voice->voice().description,
                 QString(listIndex == 1 ? "English" : "Chinese (Mandarin)"));
        QVERIFY(h.w().SetSetup());
        for (const QString &line : fill(written).split('\n', Qt::SkipEmptyParts))
            QVERIFY2(readFile(h.configPath()).contains(gb18030(line + '\n')), qPrintable(line));
        h.w().commands->img_Click(
            ControlSet::CloseFile); // the user's choice: the view's caret again
        QVERIFY(h.w().SetSetup());
        QVERIFY(readFile(h.configPath()).contains("\nPlayPos=0\n"));
    }

    void layoutFollowsTheSize()
    {
        WindowHarness h;
        QVERIFY(h.start());
        frmMain &w = h.w();
        const QRect list = w.cmbLanguage->geometry(), banner = w.webads->geometry(),
                    view = w.rtb->geometry();
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

    void failedLoadsKeepTheDocument_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"missing.txt", "folder", "", "huge.txt"})
            QTest::newRow(name) << QString(name);
    }

    void failedLoadsKeepTheDocument()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("folder");
        QFile huge(dir.filePath("huge.txt")); // sparse: costs nothing
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(DocumentLoader::kMaxFileBytes + 1));
        QVERIFY(writeFile(dir.filePath("good.txt"), "保留的文本"));
        Shown view;
        QVERIFY(view.LoadFile(dir.filePath("good.txt")));
        QVERIFY(decoded(view));
        view.setSelStart(2);
        QVERIFY(!view.LoadFile(name.isEmpty() ? name : dir.filePath(name)));
        QCOMPARE(view.Text(), QString("保留的文本"));
        QCOMPARE(view.SelStart(), 2);
    }

    void bigFileIsWholeAtOnce()
    {
        QTemporaryDir dir;
        // 5.6 million characters; in the middle a line of 1 MiB, a pair in it
        // across a place where the display breaks it (every kChunk characters).
        const QString head = novel(60000);
        const QString line = QString(DisplayMap::kChunk * 200 - 1, u'文') + "😀"
                             + QString(512 * 1024, u'w') + '\n';
        const QString text = head + line + novel(60000);
        QVERIFY(writeFile(dir.filePath("n.txt"), gb18030(text)));
        Shown view;
        QSignalSpy loaded(&view, &RichTextView::loaded);
        QVERIFY(view.LoadFile(dir.filePath("n.txt")));
        const qint32 deep = qint32(text.size() * 3 / 4);
        view.setSelStart(deep);
        QCOMPARE(view.SelStart(), deep); // reads back as set while decoding
        QVERIFY(decoded(view));
        QVERIFY(!view.isLoading());
        QCOMPARE(loaded.count(), 1);
        // Assistive technology sees the whole text and the caret.
        QAccessibleTextInterface *a11y =
            QAccessible::queryAccessibleInterface(&view)->textInterface();
        QCOMPARE(a11y->characterCount(), int(text.size()));
        QCOMPARE(a11y->cursorPosition(), deep);
        QCOMPARE(a11y->text(deep, deep + 4), text.mid(deep, 4));
        const DisplayMap map(view.Text());
        QCOMPARE(fromParagraphs(view.Text(), map), text);
        qsizetype longest = 0, halves = 0;
        for (qsizetype p = 0; p < map.count(); ++p) {
            longest = qMax(longest, map.end(p) - map.start(p));
            halves += map.start(p) < text.size() && text[map.start(p)].isLowSurrogate();
        }
        QVERIFY2(longest <= DisplayMap::kChunk + 1, "short paragraphs");
        QCOMPARE(halves, 0); // no pair broken
        // The caret anywhere, in sight where it is drawn.
        const qint32 lineAt = qint32(text.indexOf(line)),
                     pairAt = qint32(text.indexOf(QStringLiteral("😀")));
        for (qint32 at :
             {deep, 10, lineAt, pairAt, pairAt + 2, pairAt + 2049, qint32(text.size() - 2)}) {
            view.setSelStart(at);
            QCOMPARE(view.SelStart(), at);
            QVERIFY(view.viewport()->rect().contains(view.cursorRect()));
            // Where a screen reader finds an offset, and back.
            QCOMPARE(a11y->offsetAtPoint(a11y->characterRect(at).center()), at);
        }
        view.setSelStart(-5); // refused
        QCOMPARE(view.SelStart(), qint32(text.size() - 2));
        view.setSelStart(qint32(text.size()) + 100000);
        QCOMPARE(view.SelStart(), qint32(text.size()));
    }

    void readingWaitsForTheText()
    {
        // No widget: speech reading needs only the text and when a new one is ready.
        struct Page final : ReadingView {
            const QString &Text() const override { return text; }
            bool isDecoding() const override { return decoding; }
            void setSelStart(qint32) override {}
            QMetaObject::Connection onTextReady(QObject *, std::function<void()> f) override
            {
                return ready = f, QMetaObject::Connection();
            }
            QString text = QStringLiteral("旧的");
            bool decoding = true;
            std::function<void()> ready;
        } view;
        ReaderState state;
        FakeShell shell;
        FakeVoice voice({"v"});
        SpeechReading speech(state, view, shell);
        speech.setVoice(&voice);
        state.AppSettings.PlayPos = 3;
        // Started and stopped while decoding: nothing is ever spoken.
        speech.PlayFile();
        speech.PlayStop();
        view.text = QStringLiteral("一二三四五六"), view.decoding = false, view.ready();
        QVERIFY(std::all_of(voice.spoken.begin(), voice.spoken.end(),
                            [](auto &s) { return s.text.isEmpty(); }));
        // Started while decoding: spoken from PlayPos once the text is there.
        view.decoding = true;
        speech.PlayFile();
        QCOMPARE(voice.spoken.last().text, QString());
        view.decoding = false, view.ready();
        QCOMPARE(voice.spoken.last().text, QStringLiteral("三四五六"));
    }

    void keysSelectButNeverEdit_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("caret");
        // "一二三四五\nabc def\n\n😀末": the pair at 15.
        QTest::newRow("right, shift+right") << 0 << "Right,Shift+Right" << 1 << 2;
        QTest::newRow("left over a line break") << 6 << "Left" << 5 << 5;
        QTest::newRow("over a pair, both ways") << 15 << "Right,Right,Left,Shift+Left" << 17 << 15;
        QTest::newRow("down and up again") << 1 << "Down,Down,Up,Up" << 1 << 1;
        QTest::newRow("home, end") << 9 << "Home,Shift+End" << 6 << 13;
        QTest::newRow("whole document") << 3 << "Ctrl+End,Shift+Ctrl+Home" << 18 << 0;
        QTest::newRow("typing changes nothing") << 2 << "X,Backspace,Del,Return,Space" << 2 << 2;
        QTest::newRow("select all") << 4 << "Ctrl+A" << 0 << 18;
    }

    void keysSelectButNeverEdit()
    {
        QFETCH(int, from);
        QFETCH(QString, keys);
        const QString text = QStringLiteral("一二三四五\nabc def\n\n😀末");
        Shown view;
        view.setText(text);
        view.setSelStart(from);
        for (const QString &key : keys.split(u',')) {
            const QKeyCombination k = QKeySequence(key)[0];
            QTest::keyClick(&view, k.key(), k.keyboardModifiers());
        }
        QFETCH(int, anchor);
        QFETCH(int, caret);
        QCOMPARE(QList<qsizetype>({view.selectionAnchor(), view.SelStart()}),
                 QList<qsizetype>({anchor, caret}));
        QCOMPARE(view.Text(), text);
        // The mouse selects too, and what is selected can be copied.
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, view.cursorRect(2).center());
        QTest::mouseMove(view.viewport(), view.cursorRect(8).center());
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, view.cursorRect(8).center());
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), text.mid(2, 6));
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {},
                           view.cursorRect(11).center()); // a word
        QCOMPARE(QList<qsizetype>({view.selectionAnchor(), view.SelStart()}),
                 QList<qsizetype>({10, 13}));
    }

    void pagingStopsAtTheEnd()
    {
        Shown view;
        QString text;
        for (int i = 0; i < 40; ++i) // paragraphs of several screen lines each
            text += QString(300, QChar(u'文' + i)) + '\n';
        view.setText(text + "末");
        QScrollBar *bar = view.verticalScrollBar();
        view.scroll(RichTextView::SB_PAGEDOWN);
        const int page = bar->value();
        view.scroll(RichTextView::SB_PAGEDOWN);
        QVERIFY(page > 1);
        QCOMPARE(bar->value(), 2 * page);
        for (int i = 0; i < 1000; ++i)
            view.scroll(RichTextView::SB_PAGEDOWN);
        const int end = bar->value();
        view.scroll(RichTextView::SB_LINEDOWN);
        QVERIFY(end > 40);
        QCOMPARE(bar->value(), end);
        QCOMPARE(view.SelStart(), 0);
        // The last line at the bottom of the view, not the top.
        const QRect last = view.cursorRect(text.size() + 1);
        QVERIFY(view.viewport()->rect().contains(last));
        QVERIFY(last.top() > view.viewport()->height() / 2);
        view.scroll(RichTextView::SB_PAGEUP);
        QCOMPARE(bar->value(), end - page);
        // A view without width: the caret still where it was, and in sight.
        view.resize(view.width() - view.viewport()->width(), 300);
        view.setSelStart(qint32(text.size()) - 5);
        const QRect caret = view.cursorRect();
        QCOMPARE(view.SelStart(), text.size() - 5);
        QVERIFY(caret.top() >= 0);
        QVERIFY(caret.bottom() < view.viewport()->height());
    }

    void caretShowsWithoutFocus()
    {
        Shown view;
        QVERIFY(view.exposed);
        view.setText(QStringLiteral("一二三四五六七八九十"));
        view.setSelStart(5);
        view.clearFocus();
        const QImage image = view.viewport()->grab().toImage();
        const QRect caret = view.cursorRect();
        bool drawn = false;
        for (int y = caret.top(); y <= caret.bottom(); ++y)
            drawn = drawn || image.pixelColor(caret.left(), y) == view.palette().text().color();
        QVERIFY2(drawn, "the caret is the bookmark: drawn also without focus");
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
