// The Qt Core library: settings file, numbers, where the file lives, text
// decoding, display breaks and the speech segmenter's word filter.
#include "app/AppSettings.h"
#include "app/ConfigLocation.h"
#include "app/NumberText.h"
#include "platform/DisplayMap.h"
#include "platform/ProfileFile.h"
#include "platform/TextDecoding.h"
#include "speech/SpeechSegmenter.h"
#include "speech/WordEventFilter.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

QByteArray encoded(const char *encoding, const QString &text)
{
    return QStringEncoder(encoding).encode(text);
}

QByteArray gb(const QString &text)
{
    return encoded("GB18030", text);
}

const QByteArray kSixKeys = "[system]\nReadFileName=/a.txt\nPlayPos=5\nPlayRate=7\nAutoRate=3\n"
                            "FontSizes=10\ncurLanguage=0\n";

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data();
    void numbers();
    void lookup_data();
    void lookup();
    void write_data();
    void write();
    void settingsRoundTrip();
    void failedWriteLeavesTheFile_data();
    void failedWriteLeavesTheFile();
    void hugeFileCostsOnlyItsFirstMiB();
    void configLocation_data();
    void configLocation();
    void decoding_data();
    void decoding();
    void longLinesBreakOnlyForDisplay();
    void segmentsCoverTheText();
    void wordEventSlips_data();
    void wordEventSlips();
};

void TestCore::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bits");
    QTest::addColumn<qint64>("expected");   // 4: the field kept its value
    const auto row = [](const char *text, int bits, qint64 expected) {
        QTest::newRow(text) << QString(text) << bits << expected;
    };
    row("12", 16, 12);
    row("  12 \t", 16, 12);
    row("+7", 16, 7);
    row("-3", 16, -3);
    row("12.5", 16, 12);   // halves go to the even neighbour
    row("13.5", 16, 14);
    row("12.51", 16, 13);
    row("-2.5", 16, -2);
    row("-3.5", 16, -4);
    row(".7", 16, 1);
    row("abc", 16, 4);
    row("", 16, 4);
    row("1 2", 16, 4);
    row("0x10", 16, 4);
    row("32767", 16, 32767);
    row("32768", 16, 4);
    row("-32768", 16, -32768);
    row("32767.5", 16, 4);
    row("99999999999999999999999", 16, 4);
    row("2147483647", 32, 2147483647);
    row("2147483648", 32, 4);
}

void TestCore::numbers()
{
    QFETCH(QString, text);
    QFETCH(int, bits);
    QFETCH(qint64, expected);
    qint16 small = 4;
    qint32 big = 4;
    if (bits == 16)
        assignWholeNumber(text, small);
    else
        assignWholeNumber(text, big);
    QCOMPARE(bits == 16 ? qint64(small) : qint64(big), expected);
}

void TestCore::lookup_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");   // "d": the default
    const QByteArray mixed = "; c\r\n[Other]\r\nReadFileName=wrong\r\n  [SYSTEM]  \r\n"
                             "READFILENAME =  /books/a b.txt \t\r\nEmpty=\r\nFontSizes=12\r\n"
                             "fontsizes=99\r\n[system]\r\nLate=second\r\n";
    QTest::newRow("any case") << mixed << "readfilename" << "/books/a b.txt";
    QTest::newRow("empty is not the default") << mixed << "Empty" << "";
    QTest::newRow("first duplicate wins") << mixed << "FontSizes" << "12";
    QTest::newRow("second section counts") << mixed << "Late" << "second";
    QTest::newRow("missing key") << mixed << "PlayPos" << "d";
    QTest::newRow("no section") << QByteArray("PlayRate=5\n") << "PlayRate" << "d";
    QTest::newRow("open header") << QByteArray("[system\nPlayRate=5\n") << "PlayRate" << "d";
    QTest::newRow("no equals") << QByteArray("[system]\nPlayRate\n") << "PlayRate" << "d";
    QTest::newRow("GB18030") << gb("[system]\nk=/书/三国.txt\n") << "k" << "/书/三国.txt";
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF[system]\nk=/书.txt\n") << "k" << "/书.txt";
    QTest::newRow("UTF-8 by hand") << QByteArray("[system]\nk=/书/红楼梦.txt\n") << "k" << "/书/红楼梦.txt";
    QTest::newRow("GB18030 that looks like UTF-8") << gb("[system]\nk=小说\n") << "k" << "小说";
    QTest::newRow("NUL ends a value") << QByteArray("[system]\rk=12\0" "34\r", 17) << "k" << "12";
    QTest::newRow("cut at 299 bytes") << QByteArray("[system]\nk=" + QByteArray(400, 'a')) << "k"
                                      << QString(299, u'a');
    QTest::newRow("never half a character") << gb("[system]\nk=" + QString(150, QChar(0x4E2D)))
                                            << "k" << QString(149, QChar(0x4E2D));
    QTest::newRow("blanks go before the cut")
        << QByteArray("[system]\nk=   " + QByteArray(299, 'b') + "   \n") << "k" << QString(299, u'b');
    QByteArray garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += char((i * 7919) % 256);
    QTest::newRow("garbage around") << garbage + "\n[system]\nk=5\n" + garbage << "k" << "5";
}

void TestCore::lookup()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(Profile::lookup(file, "system", key, "d"), expected);
}

void TestCore::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    const QByteArray kept = "; keep\r\n[other]\r\nk=5\r\n\r\n[System]\r\nk = old\r\nX=1\r\n";
    QTest::newRow("in place, all else kept")
        << kept << "/新.txt" << QByteArray(kept).replace("k = old", "k=" + gb("/新.txt"));
    QTest::newRow("added at the end of its section")
        << QByteArray("[system]\nA=1\n\n[other]\nk=v\n") << "7"
        << QByteArray("[system]\nA=1\nk=7\n\n[other]\nk=v\n");
    QTest::newRow("section added, last line ended") << QByteArray("[other]\nk=v") << "0"
                                                    << QByteArray("[other]\nk=v\n[system]\nk=0\n");
    QTest::newRow("CRLF file, CRLF lines") << QByteArray("[o]\r\n") << "0"
                                           << QByteArray("[o]\r\n[system]\r\nk=0\r\n");
    QTest::newRow("UTF-8 mark kept") << QByteArray("\xEF\xBB\xBF") << "书"
                                     << QByteArray("\xEF\xBB\xBF[system]\nk=书\n");
    QTest::newRow("UTF-8 file stays UTF-8") << QByteArray("[system]\nn=红\nk=1\n") << "书"
                                            << QByteArray("[system]\nn=红\nk=书\n");
    QTest::newRow("an edit does not change the encoding")
        << QByteArray("[system]\nk=\xB4\xCB\nz=\xE4\xB8\xAD\n") << "1"
        << QByteArray("[system]\nk=1\nz=\xE4\xB8\xAD\n") + gb("; 编码: GB18030\n");
    QTest::newRow("a line break adds no line") << QByteArray("[system]\nk=1\n") << "a\nPlayPos=9"
                                               << QByteArray("[system]\nk=a PlayPos=9\n");
    const QByteArray binary("\xFF\xFE\x00\x81\x30junk\x80\xFF", 12);
    QTest::newRow("garbage untouched") << binary + "\n[system]\nk=5\n" + binary << "6"
                                       << binary + "\n[system]\nk=6\n" + binary;
}

void TestCore::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QCOMPARE(Profile::withValue(before, "system", "k", value), after);
}

void TestCore::settingsRoundTrip()
{
    QTemporaryDir dir;
    AppSettingsRecord s;
    s.ConfigPath = dir.filePath("config.ini");
    modMain::LoadSettings(s);
    QCOMPARE(std::tuple(s.ReadFileName, s.PlayPos, s.PlayRate, s.AutoRate, s.FontSizes, s.curLanguage),
             std::tuple(QString(), 1, qint16(7), qint16(3), qint16(10), qint16(0)));

    QVERIFY(writeFile(s.ConfigPath, gb("[SYSTEM]\r\nReAdFiLeNaMe=/书/a.txt\r\nPlayRate=\r\n"
                                       "AutoRate=32768\r\nFontSizes= 13.5 \r\nPlayPos=-4\r\n")));
    modMain::LoadSettings(s = AppSettingsRecord{s.ConfigPath, {}, 0, 0, 0, 0, 0});
    QCOMPARE(std::tuple(s.ReadFileName, s.PlayPos, s.PlayRate, s.AutoRate, s.FontSizes, s.curLanguage),
             std::tuple(QString("/书/a.txt"), -4, qint16(0), qint16(0), qint16(14), qint16(0)));

    // A new file: six keys in their order; then updated where they stand.
    const QString path = dir.filePath("new/config.ini");
    QDir().mkpath(dir.filePath("new"));
    modMain::SetupValues v{"/小说/三体.txt", 1234, 5, 10, 30, -1};
    QVERIFY(modMain::WriteSetup(path, v));
    QCOMPARE(readFile(path), gb("[system]\nReadFileName=/小说/三体.txt\nPlayPos=1234\nPlayRate=5\n"
                                "AutoRate=10\nFontSizes=30\ncurLanguage=-1\n"));
    QVERIFY(writeFile(path, "# mine\r\n[system]\r\nfontsizes=12\r\nExtra=1\r\n"));
    QVERIFY(modMain::WriteSetup(path, {"", 0, 5, 10, 30, -1}));
    QCOMPARE(readFile(path), QByteArray("# mine\r\n[system]\r\nFontSizes=30\r\nExtra=1\r\n"
                                        "ReadFileName=\r\nPlayPos=0\r\nPlayRate=5\r\n"
                                        "AutoRate=10\r\ncurLanguage=-1\r\n"));
}

void TestCore::failedWriteLeavesTheFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("disk full") << "full";
    QTest::newRow("folder gone") << "gone";
    QTest::newRow("not a file") << "folder";
}

void TestCore::failedWriteLeavesTheFile()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    QString path = dir.filePath("config.ini");
    if (how == "gone")
        path = dir.filePath("gone/config.ini");
    else if (how == "folder")
        QDir().mkpath(path);
    else
        QVERIFY(writeFile(path, kSixKeys));
    const QByteArray before = readFile(path);

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    if (how == "full") {
        // Writes past 64 bytes fail as they do on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    const bool written = modMain::WriteSetup(path, {"/小说/很长的名字.txt", 123456, 5, 10, 30, 2});
    setrlimit(RLIMIT_FSIZE, &saved);

    QVERIFY(!written);
    QCOMPARE(readFile(path), before);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(),
             how == "full" ? 1 : 0);   // no temporary file left behind
}

void TestCore::hugeFileCostsOnlyItsFirstMiB()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    const QByteArray tail = "\n[system]\nFontSizes=20\n" + QByteArray(512 * 1024, 'z');
    QByteArray head = "[system]\nPlayRate=5\n";
    head += QByteArray(Profile::kMaxReadBytes - head.size() - 10, 'x');
    QVERIFY(writeFile(path, head + tail));
    QCOMPARE(Profile::GetPrivateProfileString("system", "PlayRate", "7", path), QString("5"));
    // Past the first MiB nothing is looked at.
    QCOMPARE(Profile::GetPrivateProfileString("system", "FontSizes", "10", path), QString("10"));
    QVERIFY(Profile::WritePrivateProfileString("system", "PlayRate", "6", path));
    const QByteArray after = readFile(path);
    QVERIFY(after.startsWith("[system]\nPlayRate=6\n"));
    QVERIFY(after.endsWith(tail));
    QCOMPARE(after.size(), head.size() + tail.size());
}

void TestCore::configLocation_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected");
    QTest::newRow("writable program folder") << "" << "bin/config.ini";
    QTest::newRow("root-like folder") << "slash" << "bin//config.ini";
    QTest::newRow("missing folder") << "missing" << "user/config.ini";
    QTest::newRow("installed, no file") << "installed" << "user/config.ini";
    QTest::newRow("installed, file there") << "installed+file" << "bin/config.ini";
}

void TestCore::configLocation()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("bin"));
    if (setup.startsWith("installed"))
        QVERIFY(writeFile(dir.filePath("share/applications/" TALVERO_APP_ID ".desktop"), "x"));
    if (setup.endsWith("+file"))
        QVERIFY(writeFile(dir.filePath("bin/config.ini"), "[system]\n"));
    const QString program = setup == "missing" ? dir.filePath("none")
                                               : dir.filePath(setup == "slash" ? "bin/" : "bin");
    QCOMPARE(chooseConfigPath(program, dir.filePath("user")), dir.filePath(expected));
}

void TestCore::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString zh = QStringLiteral("第一回 宴桃园豪杰三结义\n话说天下大势，分久必合。\n").repeated(20);
    const QString tw = QStringLiteral("第一回 宴桃園豪傑三結義\n話說天下大勢，分久必合。周末七國分爭。\n").repeated(20);
    const QString ja = QStringLiteral("吾輩は猫である。名前はまだ無い。どこで生れたか見当がつかぬ。\n").repeated(20);
    const QString ko = QStringLiteral("대한민국은 민주공화국이다. 모든 권력은 국민으로부터 나온다.\n").repeated(20);
    const QString fr = QStringLiteral("Il était une fois une forêt où vivaient des élèves.\n").repeated(20);
    QTest::newRow("GB18030") << encoded("GB18030", zh) << zh;
    QTest::newRow("UTF-8") << encoded("UTF-8", zh) << zh;
    QTest::newRow("UTF-8 mark") << "\xEF\xBB\xBF" + encoded("UTF-8", zh) << zh;
    QTest::newRow("UTF-16LE") << "\xFF\xFE" + encoded("UTF-16LE", zh) << zh;
    QTest::newRow("UTF-16BE") << "\xFE\xFF" + encoded("UTF-16BE", zh) << zh;
    QTest::newRow("Big5") << encoded("Big5", tw) << tw;
    QTest::newRow("Shift_JIS") << encoded("Shift_JIS", ja) << ja;
    QTest::newRow("EUC-KR") << encoded("EUC-KR", ko) << ko;
    QTest::newRow("windows-1252") << encoded("windows-1252", fr) << fr;
    QTest::newRow("too short to tell") << encoded("GB18030", "你好，世界。") << "你好，世界。";
    QTest::newRow("four-byte GB18030") << encoded("GB18030", "𠀀😀¤") << "𠀀😀¤";
    QTest::newRow("line breaks fold") << QByteArray("a\r\nb\rc\nd\r\r\ne") << "a\nb\nc\nd\n\ne";
    QTest::newRow("NUL shows") << QByteArray("a\0b", 3) << "a\uFFFDb";
    QTest::newRow("CRLF across reads") << QByteArray(4 * 1024 * 1024 - 1, 'x') + "\r\ny"
                                       << QString(4 * 1024 * 1024 - 1, u'x') + "\ny";
}

void TestCore::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(TextDecoding::decode(bytes), text);
}

void TestCore::longLinesBreakOnlyForDisplay()
{
    const qsizetype n = DisplayMap::kChunk;
    // A long line with a surrogate pair across a break point, a short line,
    // and a line just under the limit.
    QString text = QString(n - 1, u'a') + QStringLiteral("😀") + QString(3 * n, u'b') + u'\n'
                   + QString(100, u'c') + u'\n' + QString(n - 1, u'd') + u'\n' + QString(5 * n, u'e');
    DisplayMap whole;
    whole.reset(text, 0);
    const QString shown = whole.append(text.size());
    QVERIFY(shown.size() > text.size());
    QString unbroken;   // the display without its own breaks
    for (qsizetype local = 0, line = 0; local < shown.size(); ++local) {
        line = shown[local] == u'\n' ? 0 : line + 1;
        QVERIFY2(line <= 2 * n, "no displayed line is longer than two chunks");
        QVERIFY(!shown[local].isLowSurrogate() || shown[local - 1].isHighSurrogate());
        if (whole.toLogical(int(local)) != whole.toLogical(int(local + 1)))
            unbroken += shown[local];
    }
    QCOMPARE(unbroken, text);
    for (qsizetype logical = 0; logical <= text.size(); ++logical)
        QCOMPARE(whole.toLogical(whole.toLocal(logical)), logical);

    // Pieces from the middle outwards give the same display.
    DisplayMap pieces;
    pieces.reset(text, 3 * n + 7);
    QString parts = pieces.append(4 * n);
    parts = pieces.prepend(n) + parts;
    parts += pieces.append(text.size());
    parts = pieces.prepend(0) + parts;
    QCOMPARE(parts, shown);
    QCOMPARE(pieces.toLocal(text.size() - 1), whole.toLocal(text.size() - 1));
}

void TestCore::segmentsCoverTheText()
{
    const QString text = QStringLiteral("第一句。第二句！“引号里。”\n\n圆周率是3.14，不是三。English, too. 😀𠀀")
                         + QString(250, QChar(0x6C49)) + u'，' + QString(900, u'x');
    SpeechSegmenter segmenter(text, 0);
    qsizetype at = 0;
    QStringList pieces;
    while (auto s = segmenter.next()) {
        QCOMPARE(s->begin, at);
        QVERIFY(s->end > s->begin && s->end - s->begin <= SpeechSegmenter::kMaxPiece);
        QVERIFY(!text[s->end - 1].isHighSurrogate());
        QVERIFY(!s->utf8.contains('\0') && !s->utf8.contains('\n'));
        const auto han = std::count_if(text.begin() + s->begin, text.begin() + s->end,
                                       [](QChar c) { return c.script() == QChar::Script_Han; });
        QVERIFY(han <= SpeechSegmenter::kMaxRun);
        QCOMPARE(qsizetype(s->codePointOffsets.size()) - 1, QString::fromUtf8(s->utf8).toUcs4().size());
        pieces << text.mid(s->begin, s->end - s->begin);
        at = s->end;
    }
    QCOMPARE(at, text.size());
    QCOMPARE(pieces.mid(0, 3), QStringList({"第一句。", "第二句！", "“引号里。”\n\n"}));
    QVERIFY(pieces[3].contains("3.14"));
    QVERIFY(!SpeechSegmenter(text, text.size() + 5).next());
}

void TestCore::wordEventSlips_data()
{
    // Events for "ab  cd😀ef gh" (code points 1-based, as eSpeak reports).
    QTest::addColumn<QList<int>>("events");   // position, length, ...
    QTest::addColumn<QList<int>>("words");    // accepted offsets
    QTest::newRow("position 0 dropped") << QList<int>{0, 2, 1, 2} << QList<int>{0};
    QTest::newRow("repeat dropped") << QList<int>{1, 2, 1, 2} << QList<int>{0};
    QTest::newRow("reported at the blanks") << QList<int>{1, 2, 3, 2} << QList<int>{0, 4};
    QTest::newRow("zero length back") << QList<int>{5, 2, 2, 0} << QList<int>{4};
    QTest::newRow("any step back") << QList<int>{7, 2, 2, 3} << QList<int>{6};
    QTest::newRow("after an emoji") << QList<int>{8, 2} << QList<int>{8};
    QTest::newRow("beyond the piece") << QList<int>{99, 1} << QList<int>{};
}

void TestCore::wordEventSlips()
{
    QFETCH(QList<int>, events);
    QFETCH(QList<int>, words);
    const QString text = QStringLiteral("ab  cd😀ef gh");
    const auto segment = *SpeechSegmenter(text, 0).next();
    WordEventFilter filter(text);
    QList<int> accepted;
    for (int i = 0; i + 1 < events.size(); i += 2) {
        if (const auto offset = filter.accept(segment, events[i], events[i + 1]))
            accepted << int(*offset);
    }
    QCOMPARE(accepted, words);
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
