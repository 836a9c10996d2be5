#include "fakes/TestFiles.h"
#include "platform/RichTextView.h"
#include "platform/TextDecoding.h"

#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

namespace {

QByteArray encoded(const char *encoding, const QString &text)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}

QString novel(int paragraphs)
{
    QString text;
    for (int i = 0; i < paragraphs; ++i)
        text += QStringLiteral("第%1回 话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。\n").arg(i);
    return text;
}

// The view's document and its Text() agree character for character.
void verifyDocumentMatchesText(RichTextView &view)
{
    const QString text = view.Text();
    QTextDocument *doc = view.document();
    QCOMPARE(doc->characterCount() - 1, int(text.size()));
    for (int i = 0; i < text.size(); ++i) {
        const QChar expected = text[i] == u'\n' ? QChar::ParagraphSeparator : text[i];
        if (doc->characterAt(i) != expected)
            QFAIL(qPrintable(QStringLiteral("differs at %1").arg(i)));
    }
}

} // namespace

class TestView : public QObject
{
    Q_OBJECT

private slots:
    void decodesTheCommonEncodings();
    void foldsLineBreaksAndNuls();
    void caretPositionsAreTextOffsets();
    void failedLoadsKeepTheDocument();
    void bigFileArrivesInPiecesWithTheCaretKept();
    void scrollingNeverMovesTheCaret();
    void spaceBarReportsAndPagesOnce();
    void caretShowsWithoutFocus();
};

void TestView::decodesTheCommonEncodings()
{
    const QString zh = QStringLiteral("第一回 宴桃园豪杰三结义\n话说天下大势，分久必合，合久必分。\n").repeated(20);
    const QString tw = QStringLiteral("第一回 宴桃園豪傑三結義\n話說天下大勢，分久必合，合久必分。周末七國分爭。\n").repeated(20);
    const QString ja = QStringLiteral("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。\n").repeated(20);
    const QString ko = QStringLiteral("대한민국은 민주공화국이다. 모든 권력은 국민으로부터 나온다.\n").repeated(20);
    const QString fr = QStringLiteral("Il était une fois une forêt où vivaient des élèves, à côté.\n").repeated(20);
    using TextDecoding::decode;
    QCOMPARE(decode(encoded("GB18030", zh)), zh);
    QCOMPARE(decode(encoded("UTF-8", zh)), zh);
    QCOMPARE(decode("\xEF\xBB\xBF" + encoded("UTF-8", zh)), zh);
    QCOMPARE(decode("\xFF\xFE" + encoded("UTF-16LE", zh)), zh);
    QCOMPARE(decode("\xFE\xFF" + encoded("UTF-16BE", zh)), zh);
    QCOMPARE(decode(encoded("Big5", tw)), tw);
    QCOMPARE(decode(encoded("Shift_JIS", ja)), ja);
    QCOMPARE(decode(encoded("EUC-KR", ko)), ko);
    QCOMPARE(decode(encoded("windows-1252", fr)), fr);
    // A few characters are too little to tell: Chinese is the safe guess.
    QCOMPARE(decode(encoded("GB18030", "你好，世界。")), QString("你好，世界。"));
    // GB18030 four-byte characters.
    QCOMPARE(decode(encoded("GB18030", "𠀀😀 and ¤")), QString("𠀀😀 and ¤"));
    QCOMPARE(decode(QByteArray()), QString());
}

void TestView::foldsLineBreaksAndNuls()
{
    using TextDecoding::decode;
    QCOMPARE(decode("a\r\nb\rc\nd\r\r\ne"), QString("a\nb\nc\nd\n\ne"));
    QCOMPARE(decode(QByteArray("a\0b", 3)), QString("a\uFFFDb"));
    // A CR at the end of one read and its LF at the start of the next.
    QByteArray big(4 * 1024 * 1024 - 1, 'x');
    big += "\r\ny";
    QCOMPARE(decode(big).right(3), QString("x\ny"));
    // Binary data: decodes to something, with no NUL and no CR left.
    QByteArray binary;
    for (int i = 0; i < 100000; ++i)
        binary += char((i * 2654435761u) >> 24);
    const QString text = decode(binary);
    QVERIFY(!text.isEmpty());
    QVERIFY(!text.contains(QChar(0)));
    QVERIFY(!text.contains(u'\r'));
}

void TestView::caretPositionsAreTextOffsets()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("emoji.txt");
    writeFile(path, encoded("UTF-8", "第一行😀末\r\n\r\n\r\n第四行𠀀字\rend"));
    RichTextView view;
    view.resize(400, 300);
    QVERIFY(view.LoadFile(path));
    QCOMPARE(view.Text(), QString("第一行😀末\n\n\n第四行𠀀字\nend"));
    verifyDocumentMatchesText(view);
    const QString text = view.Text();
    for (qint32 i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i].isLowSurrogate())
            continue;   // the caret never stands inside a pair
        view.setSelStart(i);
        QCOMPARE(view.SelStart(), i);
        QCOMPARE(view.textCursor().position(), int(i));
    }
    // Out of range: a negative caret is refused, a large one goes to the end.
    view.setSelStart(3);
    view.setSelStart(-5);
    QCOMPARE(view.SelStart(), 3);
    view.setSelStart(100000);
    QCOMPARE(view.SelStart(), qint32(text.size()));

    view.setText(QString());
    QCOMPARE(view.Text(), QString());
    QCOMPARE(view.SelStart(), 0);
}

void TestView::failedLoadsKeepTheDocument()
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.txt");
    writeFile(good, encoded("UTF-8", "保留的文本"));
    RichTextView view;
    QVERIFY(view.LoadFile(good));
    view.setSelStart(2);

    QVERIFY(!view.LoadFile(dir.filePath("missing.txt")));
    QVERIFY(!view.LoadFile(dir.path()));   // a folder
    QVERIFY(!view.LoadFile(QString()));
    // Too big: refused before anything is read (a sparse file costs nothing).
    const QString huge = dir.filePath("huge.txt");
    {
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(RichTextView::kMaxFileBytes + 1));
    }
    QVERIFY(!view.LoadFile(huge));
    QCOMPARE(view.Text(), QString("保留的文本"));
    QCOMPARE(view.SelStart(), 2);

    // An empty file loads as an empty document.
    const QString empty = dir.filePath("empty.txt");
    writeFile(empty, QByteArray());
    QVERIFY(view.LoadFile(empty));
    QCOMPARE(view.Text(), QString());

    // A big file removed after the view accepted it: the old text stays.
    QVERIFY(view.LoadFile(good));
    const QString big = dir.filePath("big.txt");
    writeFile(big, encoded("UTF-8", novel(80000)));
    QVERIFY(view.LoadFile(big));
    QVERIFY(view.isLoading());
    QFile::remove(big);
    // The background read may already have the file open; either way the
    // view ends with a whole document, old or new, never a broken one.
    QTRY_VERIFY_WITH_TIMEOUT(!view.isLoading(), 20000);
    const QString after = view.Text();
    QVERIFY(after == QString("保留的文本") || after == novel(80000));
}

void TestView::bigFileArrivesInPiecesWithTheCaretKept()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("novel.txt");
    const QString text = novel(120000);   // about 5.6 million characters
    writeFile(path, encoded("GB18030", text));

    RichTextView view;
    view.resize(600, 400);
    view.show();
    QSignalSpy loaded(&view, &RichTextView::loaded);
    QVERIFY(view.LoadFile(path));
    const qint32 deep = qint32(text.size() * 3 / 4);
    view.setSelStart(deep);
    QCOMPARE(view.SelStart(), deep);   // reads back as set while loading
    QVERIFY(view.isLoading());
    // Text() is the whole document at any time.
    QCOMPARE(view.Text().size(), text.size());

    // The first piece holds the caret; the caret's line is in sight.
    QTRY_VERIFY(view.document()->characterCount() > 1);
    QCOMPARE(view.SelStart(), deep);
    const int local = view.textCursor().position();
    QCOMPARE(view.document()->characterAt(local), text[deep]);
    QVERIFY(view.viewport()->rect().intersects(view.cursorRect()));

    // A caret set meanwhile beyond what has arrived takes effect when it does.
    view.setSelStart(10);
    QCOMPARE(view.SelStart(), 10);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 1, 30000);
    QVERIFY(!view.isLoading());
    QCOMPARE(view.SelStart(), 10);
    QCOMPARE(view.textCursor().position(), 10);
    QCOMPARE(view.document()->characterCount() - 1, int(text.size()));
    QCOMPARE(view.document()->characterAt(123456), text[123456] == u'\n' ? QChar::ParagraphSeparator : text[123456]);
}

void TestView::scrollingNeverMovesTheCaret()
{
    RichTextView view;
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setText(novel(300));
    view.setSelStart(20);
    QScrollBar *bar = view.verticalScrollBar();
    const int top = bar->value();
    view.scroll(RichTextView::SB_PAGEDOWN);
    const int afterPage = bar->value();
    QVERIFY(afterPage > top);
    view.scroll(RichTextView::SB_LINEDOWN);
    QCOMPARE(bar->value(), afterPage + 1);
    view.scroll(RichTextView::SB_PAGEUP);
    QVERIFY(bar->value() < afterPage + 1);
    QCOMPARE(view.SelStart(), 20);
    // At the end nothing more happens.
    for (int i = 0; i < 2000; ++i)
        view.scroll(RichTextView::SB_PAGEDOWN);
    const int bottom = bar->value();
    QCOMPARE(bottom, bar->maximum());
    view.scroll(RichTextView::SB_LINEDOWN);
    QCOMPARE(bar->value(), bottom);
    QCOMPARE(view.SelStart(), 20);

    // A document shorter than a page does not move at all.
    view.setText("短");
    view.scroll(RichTextView::SB_PAGEDOWN);
    view.scroll(RichTextView::SB_LINEDOWN);
    QCOMPARE(bar->value(), 0);
}

void TestView::spaceBarReportsAndPagesOnce()
{
    RichTextView view;
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setText(novel(300));
    QSignalSpy keys(&view, &RichTextView::KeyDown);
    QScrollBar *bar = view.verticalScrollBar();
    // The view itself does nothing with a space (it is read-only): the
    // listener's page turn is the only one, also with Shift.
    const auto spaces = [&] {
        return std::count_if(keys.begin(), keys.end(), [](const QList<QVariant> &args) {
            return args[0].toInt() == int(Qt::Key_Space);
        });
    };
    QTest::keyClick(&view, Qt::Key_Space, Qt::ShiftModifier);
    QCOMPARE(spaces(), 1);
    QCOMPARE(bar->value(), 0);
    QTest::keyClick(&view, Qt::Key_Space);
    QCOMPARE(spaces(), 2);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(view.Text(), novel(300));
    QTest::keyClick(&view, Qt::Key_A);
    QCOMPARE(keys.last()[0].toInt(), int(Qt::Key_A));
    QCOMPARE(view.Text(), novel(300));
}

void TestView::caretShowsWithoutFocus()
{
    QWidget window;
    window.resize(400, 200);
    RichTextView view(&window);
    view.setGeometry(0, 0, 400, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view.setText(QStringLiteral("一二三四五六七八九十"));
    view.setSelStart(5);
    view.clearFocus();
    QVERIFY(!view.hasFocus());
    const QImage image = view.viewport()->grab().toImage();
    const QRect caret = view.cursorRect();
    const QColor ink = view.palette().text().color();
    bool drawn = false;
    for (int y = caret.top(); y <= caret.bottom() && !drawn; ++y)
        drawn = image.pixelColor(caret.left(), y) == ink;
    QVERIFY2(drawn, "the caret must be drawn while the view has no focus");
}

QTEST_MAIN(TestView)
#include "tst_view.moc"
