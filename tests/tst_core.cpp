// The Qt Core library: settings file, numbers, where the file lives, text
// decoding, the view's line counts, SSML for the speech service, the speech
// segmenter's word filter and what of the advertisement page is kept.
#include "TestFiles.h"
#include "app/AppSettings.h"
#include "app/ConfigLocation.h"
#include "app/NumberText.h"
#include "platform/AdPageFilter.h"
#include "platform/DisplayMap.h"
#include "platform/LineCounts.h"
#include "platform/ProfileFile.h"
#include "platform/TextDecoding.h"
#include "speech/SpeechSegmenter.h"
#include "speech/SsmlText.h"
#include "speech/WordEventFilter.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bits");
        QTest::addColumn<qint64>("expected"); // 4: the field kept its value
        // clang-format off
        for (auto [text, bits, expected] : {std::tuple("12", 16, 12LL), {"  12 \t", 16, 12}, {"+7", 16, 7},
                                            {"-3", 16, -3}, {"12.5", 16, 12}, {"13.5", 16, 14}, {"12.51", 16, 13},
                                            {"-2.5", 16, -2}, {"-3.5", 16, -4}, {".7", 16, 1}, {"abc", 16, 4},
                                            {"", 16, 4}, {"1 2", 16, 4}, {"0x10", 16, 4}, {"32767", 16, 32767},
                                            {"32768", 16, 4}, {"-32768", 16, -32768}, {"32767.5", 16, 4},
                                            {"99999999999999999999", 16, 4}, {"2147483647", 32, 2147483647},
                                            {"2147483648", 32, 4}})
            QTest::addRow("%d bits: '%s'", bits, text) << QString(text) << bits << qint64(expected);
        // clang-format on
    }

    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(int, bits);
        QFETCH(qint64, expected);
        qint16 small = 4;
        qint32 big = 4;
        bits == 16 ? assignWholeNumber(text, small) : assignWholeNumber(text, big);
        QCOMPARE(bits == 16 ? qint64(small) : qint64(big), expected);
    }

    void lookup_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected"); // "d": the default
        const QByteArray mixed = "; c\r\n[Other]\r\nReadFileName=wrong\r\n  [SYSTEM]  \r\n"
                                 "READFILENAME =  /a b.txt \t\r\nEmpty=\r\nFontSizes=12\r\n"
                                 "fontsizes=99\r\n[system]\r\nLate=second\r\n";
        // clang-format off
        QTest::newRow("any case") << mixed << "readfilename" << "/a b.txt";
        QTest::newRow("empty is not the default") << mixed << "Empty" << "";
        QTest::newRow("first duplicate wins") << mixed << "FontSizes" << "12";
        QTest::newRow("second section counts") << mixed << "Late" << "second";
        QTest::newRow("missing key") << mixed << "PlayPos" << "d";
        QTest::newRow("no section") << QByteArray("PlayRate=5\n") << "PlayRate" << "d";
        QTest::newRow("open header") << QByteArray("[system\nPlayRate=5\n") << "PlayRate" << "d";
        QTest::newRow("no equals") << QByteArray("[system]\nPlayRate\n") << "PlayRate" << "d";
        QTest::newRow("GB18030") << gb18030("[system]\nk=/书/三国.txt\n") << "k" << "/书/三国.txt";
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF[system]\nk=/书.txt\n") << "k" << "/书.txt";
        QTest::newRow("UTF-8 by hand") << QByteArray("[system]\nk=/书/红楼梦.txt\n") << "k" << "/书/红楼梦.txt";
        QTest::newRow("GB18030 that looks like UTF-8") << gb18030("[system]\nk=小说\n") << "k" << "小说";
        QTest::newRow("NUL ends a value") << QByteArray("[system]\rk=12\0" "34\r", 17) << "k" << "12";
        QTest::newRow("cut at 4096 bytes") << QByteArray("[system]\nk=" + QByteArray(5000, 'a')) << "k" << QString(4096, u'a');
        QTest::newRow("never half a character") << gb18030("[system]\nk=" + QString(2049, u'中')) << "k" << QString(2048, u'中');
        QTest::newRow("blanks go before the cut") << "[system]\nk=   " + QByteArray(4096, 'b') + "   \n" << "k" << QString(4096, u'b');
        // clang-format on
    }

    void lookup()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(Profile::lookup(file, "system", key, "d"), expected);
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const QByteArray kept = "; keep\r\n[other]\r\nk=5\r\n\r\n[System]\r\nk = old\r\nX=1\r\n";
        // clang-format off
        QTest::newRow("in place, all else kept") << kept << "/新.txt" << QByteArray(kept).replace("k = old", "k=" + gb18030("/新.txt"));
        QTest::newRow("at the end of its section") << QByteArray("[system]\nA=1\n\n[o]\nk=v\n") << "7" << QByteArray("[system]\nA=1\nk=7\n\n[o]\nk=v\n");
        QTest::newRow("a new section") << QByteArray("[other]\nk=v") << "0" << QByteArray("[other]\nk=v\n[system]\nk=0\n");
        QTest::newRow("CRLF file, CRLF lines") << QByteArray("[o]\r\n") << "0" << QByteArray("[o]\r\n[system]\r\nk=0\r\n");
        QTest::newRow("UTF-8 mark kept") << QByteArray("\xEF\xBB\xBF") << "书" << QByteArray("\xEF\xBB\xBF[system]\nk=书\n");
        QTest::newRow("UTF-8 file stays UTF-8") << QByteArray("[system]\nn=红\nk=1\n") << "书" << QByteArray("[system]\nn=红\nk=书\n");
        QTest::newRow("an edit keeps the encoding") << QByteArray("[system]\nk=\xB4\xCB\nz=\xE4\xB8\xAD\n") << "1"
                                                    << QByteArray("[system]\nk=1\nz=\xE4\xB8\xAD\n") + gb18030("; 编码: GB18030\n");
        QTest::newRow("a line break adds no line") << QByteArray("[system]\nk=1\n") << "a\nPlayPos=9" << QByteArray("[system]\nk=a PlayPos=9\n");
        // clang-format on
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QCOMPARE(Profile::withValue(before, "system", "k", value), after);
    }

    void settingsRoundTrip()
    {
        QTemporaryDir dir;
        AppSettingsRecord s{dir.filePath("config.ini"), {}, 0, 0, 0, 0, 0};
        modMain::LoadSettings(s);
        QCOMPARE(std::tuple(s.ReadFileName, s.PlayPos, s.PlayRate, s.AutoRate, s.FontSizes,
                            s.curLanguage),
                 std::tuple(QString(), 1, qint16(7), qint16(3), qint16(10), qint16(0)));
        QVERIFY(writeFile(
            s.ConfigPath,
            gb18030("[SYSTEM]\r\nReAdFiLeNaMe=/书/a.txt\r\nPlayRate=\r\nAutoRate=32768\r\n"
                    "FontSizes= 13.5 \r\nPlayPos=-4\r\n")));
        modMain::LoadSettings(s = AppSettingsRecord{s.ConfigPath, {}, 0, 0, 0, 0, 0});
        QCOMPARE(std::tuple(s.ReadFileName, s.PlayPos, s.PlayRate, s.AutoRate, s.FontSizes,
                            s.curLanguage),
                 std::tuple(QString("/书/a.txt"), -4, qint16(0), qint16(0), qint16(14), qint16(0)));
        // A new file: six keys in their order; then updated where they stand.
        const QString path = dir.filePath("config.ini");
        QVERIFY(QFile::remove(path));
        QVERIFY(modMain::WriteSetup(path, {"/小说/三体.txt", 1234, 5, 10, 30, -1}));
        QCOMPARE(
            readFile(path),
            gb18030("[system]\nReadFileName=/小说/三体.txt\nPlayPos=1234\nPlayRate=5\nAutoRate=10\n"
                    "FontSizes=30\ncurLanguage=-1\n"));
        QVERIFY(writeFile(path, "# mine\r\n[system]\r\nfontsizes=12\r\nExtra=1\r\n"));
        QVERIFY(modMain::WriteSetup(path, {"", 0, 5, 10, 30, -1}));
        QCOMPARE(readFile(path),
                 QByteArray("# mine\r\n[system]\r\nFontSizes=30\r\nExtra=1\r\nReadFileName=\r\n"
                            "PlayPos=0\r\nPlayRate=5\r\nAutoRate=10\r\ncurLanguage=-1\r\n"));
    }

    void failedWriteLeavesTheFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("disk full") << "full";
        QTest::newRow("folder gone") << "gone";
        QTest::newRow("not a file") << "folder";
    }

    void failedWriteLeavesTheFile()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        const QString path = dir.filePath(how == "gone" ? "gone/config.ini" : "config.ini");
        QVERIFY(how != "folder" || QDir().mkpath(path));
        QVERIFY(how != "full" || writeFile(path, "[system]\nReadFileName=/a.txt\nPlayPos=5\n"));
        const QByteArray before = readFile(path);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{64, saved.rlim_max}; // writes past 64 bytes fail, as on a full disk
        std::signal(SIGXFSZ, SIG_IGN);
        if (how == "full")
            setrlimit(RLIMIT_FSIZE, &small);
        const bool written = modMain::WriteSetup(path,
                                                 {"/小说/很长的名字.txt", 123456, 5, 10, 30, 2});
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QCOMPARE(readFile(path), before);
        // And no temporary file left behind.
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(),
                 how == "full" ? 1 : 0);
    }

    void hugeFileCostsOnlyItsFirstMiB()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        const QByteArray tail = "\n[system]\nFontSizes=20\n" + QByteArray(512 * 1024, 'z');
        const QByteArray head = "[system]\nPlayRate=5\n"
                                + QByteArray(Profile::kMaxReadBytes - 30, 'x');
        QVERIFY(writeFile(path, head + tail));
        QCOMPARE(Profile::GetPrivateProfileString("system", "PlayRate", "7", path), QString("5"));
        QCOMPARE(Profile::GetPrivateProfileString("system", "FontSizes", "10", path),
                 QString("10"));
        QVERIFY(Profile::WritePrivateProfileString("system", "PlayRate", "6", path));
        QCOMPARE(readFile(path), QByteArray(head).replace("PlayRate=5", "PlayRate=6") + tail);
    }

    void configLocation_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("writable program folder") << "" << "bin/config.ini";
        QTest::newRow("a drive's root") << "slash" << "bin//config.ini";
        QTest::newRow("missing folder") << "missing" << "user/config.ini";
        QTest::newRow("installed, no file") << "installed" << "user/config.ini";
        QTest::newRow("installed, file there") << "installed+file" << "bin/config.ini";
        // clang-format on
    }

    void configLocation()
    {
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("bin")));
        QVERIFY(!setup.startsWith("installed")
                || writeFile(dir.filePath("share/applications/" TALVERO_APP_ID ".desktop"), "x"));
        QVERIFY(!setup.endsWith("+file")
                || writeFile(dir.filePath("bin/config.ini"), "[system]\n"));
        const QString program = dir.filePath(setup == "missing" ? "none"
                                             : setup == "slash" ? "bin/"
                                                                : "bin");
        QCOMPARE(chooseConfigPath(program, dir.filePath("user")), dir.filePath(expected));
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        // clang-format off
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
        QTest::newRow("parts meet at a CRLF") << (QByteArray(6 << 20, 'x') + "\r\n").repeated(2)
                                              << (QString(6 << 20, u'x') + u'\n').repeated(2);
        QTest::newRow("GB18030 private-use codes") << encoded("GB18030", zh) + "\xA6\xD9\xFE\x51" << zh + QStringLiteral("\uE78D\uE816");
        QTest::newRow("GB18030 breaks and NUL") << encoded("GB18030", zh + QStringLiteral("\r\n好\r")) + '\0' << zh + QStringLiteral("\n好\n\uFFFD");
        QTest::newRow("GB18030 invalid byte") << encoded("GB18030", zh) + "\xFF" + encoded("GB18030", zh) << zh + QStringLiteral("\uFFFD") + zh;
        QTest::newRow("GB18030 in parts") << encoded("GB18030", zh.repeated(20000)) << zh.repeated(20000);
        // clang-format on
    }

    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(TextDecoding::decode(bytes), text);
        // From a file, the index of its lines built part by part as from the whole text.
        QTemporaryDir dir;
        QString fromFile;
        DisplayMap lines;
        QVERIFY(writeFile(dir.filePath("a.txt"), bytes));
        QVERIFY(TextDecoding::decodeFile(dir.filePath("a.txt"), fromFile, lines));
        QCOMPARE(fromFile, text);
        const DisplayMap whole(text);
        const auto starts = [](const DisplayMap &map) {
            QList<qsizetype> all;
            for (qsizetype p = 0; p < map.count(); ++p)
                all.append(map.start(p));
            return all;
        };
        QCOMPARE(starts(lines), starts(whole));
    }

    void lineCountsAgreeWithCounting()
    {
        // Paragraphs laid out at random, in and across the groups the sums are kept for.
        for (const qsizetype paragraphs : {1, 63, 64, 65, 1000}) {
            LineCounts counts;
            counts.reset(paragraphs);
            std::vector<int> lines(size_t(paragraphs), 1);
            QRandomGenerator random{quint32(paragraphs)};
            for (int i = 0; i < 300; ++i) {
                const auto p = qsizetype(random.bounded(int(paragraphs)));
                lines[size_t(p)] = 1 + int(random.bounded(i % 3 ? 5 : 1));
                counts.set(p, lines[size_t(p)]);
            }
            qint64 before = 0;
            for (qsizetype p = 0; p < paragraphs; ++p) {
                QCOMPARE(counts.before(p), before);
                for (int l = 0; l < lines[size_t(p)]; ++l)
                    QCOMPARE(counts.find(before + l), std::make_pair(p, l));
                before += lines[size_t(p)];
            }
            QCOMPARE(counts.total(), before);
            QCOMPARE(
                counts.find(before + 9),
                std::make_pair(paragraphs - 1, lines.back() - 1)); // past the end: the last line
        }
    }

    void segmentsCoverTheText()
    {
        const QString text =
            QStringLiteral("第一句。第二句！“引号里。”\n\n圆周率是3.14，不是三。English, too. 😀𠀀")
            + QString(250, u'汉') + u'，' + QString(900, u'x');
        SpeechSegmenter segmenter(text, 0);
        QStringList pieces;
        while (auto s = segmenter.next()) {
            QCOMPARE(s->begin, pieces.join("").size());
            QVERIFY(s->end - s->begin <= SpeechSegmenter::kMaxPiece);
            QVERIFY(!text[s->end - 1].isHighSurrogate());
            QVERIFY(!s->utf8.contains('\0'));
            QVERIFY(!s->utf8.contains('\n'));
            QVERIFY(std::count_if(text.begin() + s->begin, text.begin() + s->end,
                                  [](QChar c) { return c.script() == QChar::Script_Han; })
                    <= SpeechSegmenter::kMaxRun);
            QCOMPARE(qsizetype(s->codePointOffsets.size()) - 1,
                     QString::fromUtf8(s->utf8).toUcs4().size());
            pieces << text.mid(s->begin, s->end - s->begin);
        }
        QCOMPARE(pieces.join(""), text);
        QCOMPARE(pieces.mid(0, 3), QStringList({"第一句。", "第二句！", "“引号里。”\n\n"}));
        QVERIFY(pieces[3].contains("3.14"));
    }

    void ssml_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("begin"); // the piece is text[begin:], marks count from 1
        QTest::addColumn<QByteArray>("ssml");
        // clang-format off
        QTest::newRow("Han, words, numbers") << "x天下 ab1 c" << 1 << QByteArray(R"(<mark name="0"/>天<mark name="1"/>下 <mark name="3"/>ab1 <mark name="7"/>c)");
        QTest::newRow("markup is text") << "x<speak a='1'>&" << 1 << QByteArray(R"(&lt;<mark name="1"/>speak <mark name="7"/>a=&apos;<mark name="10"/>1&apos;&gt;&amp;)");
        QTest::newRow("no XML for controls, halves") << QString("xa") + QChar(0xD800) + "b￾" << 1 << QByteArray(R"(<mark name="0"/>a   <mark name="4"/>b )");
        QTest::newRow("a pair is one character") << "x😀𠀀y" << 1 << QByteArray(R"(😀<mark name="2"/>𠀀<mark name="4"/>y)");
        // clang-format on
    }

    void ssml()
    {
        QFETCH(QString, text);
        QFETCH(int, begin);
        QFETCH(QByteArray, ssml);
        QCOMPARE(SsmlText::forPiece(text, begin, text.size(), 1), "<speak>" + ssml + "</speak>");
        for (auto [name, offset] :
             {std::pair("12", 12), {"-3", -1}, {"3x", -1}, {"", -1}, {nullptr, -1}})
            QCOMPARE(SsmlText::markOffset(name), offset);
    }

    void adPageKeeps_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("kept");
        const QString tr8 = QString("<tr><td>r</td></tr>").repeated(8),
                      td8 = QString("<td>c</td>").repeated(8);
        // clang-format off
        QTest::newRow("text, colours, web links") << "<html><head><title>t</title></head><body><b><font color=red>免费</font></b> <a href='offer.htm'>novels</a><a href='javascript:alert(1)'>!</a>"
                                                  << "<b><font color=\"red\">免费</font></b> <a href=\"http://ads.example/ads/offer.htm\">novels</a>!";
        QTest::newRow("every entity decoded") << "&hellip;&nbsp;&eacute;&#x1F600;&lt;b&gt;&amp;amp;&bogus;" << "<p>…\u00a0é😀&lt;b&gt;&amp;amp;&amp;bogus;</p>";
        QTest::newRow("implicit end tags") << "<p>one<p>two<li>x" << "<p>one</p><p>two</p><p>x</p>";
        QTest::newRow("scripts, frames, objects") << "<script>document.write('no')</script><iframe src=x>no</iframe><object data=x>no</object>ok" << "ok";
        QTest::newRow("no images, no file links") << "<img src=\"file:///etc/passwd\">pic<a href=\"file:///x\">f</a>" << "picf";
        QTest::newRow("plain colours only") << "<div style=\"color:#F00;background-image:url(x);background-color:blue\">s</div><font color=\"url(x)\">c</font>"
                                            << "<div style=\"color:#f00;background-color:blue;\">s</div><font>c</font>";
        QTest::newRow("tables two deep") << QString("<table><tr><td>").repeated(3) + "deep" << "<table><tr><td><table><tr><td> deep</td></tr></table></td></tr></table>";
        QTest::newRow("eight rows") << "<table>" + QString("<tr><td>r").repeated(10) << "<table>" + tr8 + " r r</table>";
        QTest::newRow("eight columns") << "<table><tr>" + QString("<td>c").repeated(10) << "<table><tr>" + td8 + " c c</tr></table>";
        QTest::newRow("22 open elements") << QString("<span>").repeated(30) + "y" << QString("<span>").repeated(22) + "y" + QString("</span>").repeated(22);
        QTest::newRow("past 256 levels nothing") << "a" + QString("<i>").repeated(300) + "b" << "<p>a" + QString("<i>").repeated(21) + QString("</i>").repeated(21) + "</p>";
        QTest::newRow("4096 characters") << QString(5000, 'x') << "<p>" + QString(AdPageFilter::kMaxText, 'x') + "</p>";
        QTest::newRow("U+0000") << QString("a") + QChar(0) + "b" << "<p>ab</p>";
        // clang-format on
    }

    void adPageKeeps()
    {
        QFETCH(QString, page);
        QFETCH(QString, kept);
        QCOMPARE(AdPageFilter::reduce(page, QUrl("http://ads.example/ads/a.htm")),
                 "<html><body>" + kept + "</body></html>");
    }

    void wordEventSlips_data()
    {
        // Events for "ab  cd😀ef gh": position (1-based code point) and length.
        QTest::addColumn<QList<int>>("events");
        QTest::addColumn<QList<int>>("words"); // accepted offsets
        QTest::newRow("position 0 dropped") << QList<int>{0, 2, 1, 2} << QList<int>{0};
        QTest::newRow("repeat dropped") << QList<int>{1, 2, 1, 2} << QList<int>{0};
        QTest::newRow("reported at the blanks") << QList<int>{1, 2, 3, 2} << QList<int>{0, 4};
        QTest::newRow("zero length back") << QList<int>{5, 2, 2, 0} << QList<int>{4};
        QTest::newRow("any step back") << QList<int>{7, 2, 2, 3} << QList<int>{6};
        QTest::newRow("after an emoji") << QList<int>{8, 2} << QList<int>{8};
        QTest::newRow("beyond the piece") << QList<int>{99, 1} << QList<int>{};
    }

    void wordEventSlips()
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
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
