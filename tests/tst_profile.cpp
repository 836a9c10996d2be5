#include "fakes/TestFiles.h"
#include "platform/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Profile;

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void readsWithProfileSemantics();
    void valuesAreCutAt299Bytes();
    void toleratesBrokenFiles();
    void writeReplacesInPlaceAndKeepsOtherBytes();
    void writeAppendsAndCreates();
    void gb18030KeepsEveryCharacter();
    void failedWriteLeavesOldFile();
};

void TestProfile::readsWithProfileSemantics()
{
    const QByteArray file = "; comment\r\n"
                            "[Other]\r\n"
                            "ReadFileName=wrong\r\n"
                            "  [SYSTEM]  \r\n"
                            "READFILENAME =  /books/a b.txt \t\r\n"
                            "Empty=\r\n"
                            "FontSizes=12\r\n"
                            "fontsizes=99\r\n"
                            "[system]\r\n"
                            "Late=found in a second section\r\n";
    QCOMPARE(lookup(file, "system", "readfilename", "d"), QString("/books/a b.txt"));
    QCOMPARE(lookup(file, "System", "ReadFileName", "d"), QString("/books/a b.txt"));
    // Present but empty is empty, not the default.
    QCOMPARE(lookup(file, "system", "Empty", "7"), QString());
    // The first of duplicate keys wins; later sections of the same name count.
    QCOMPARE(lookup(file, "system", "FontSizes", "10"), QString("12"));
    QCOMPARE(lookup(file, "system", "Late", "d"), QString("found in a second section"));
    QCOMPARE(lookup(file, "system", "PlayPos", "1"), QString("1"));
    QCOMPARE(lookup(file, "nosuch", "ReadFileName", "d"), QString("d"));
    QCOMPARE(lookup(QByteArray(), "system", "ReadFileName", "d"), QString("d"));

    // GB18030 text, LF line ends, a UTF-8 file with its mark.
    const QByteArray chinese = gb18030("[system]\nReadFileName=/书/三国演义.txt\n");
    QCOMPARE(lookup(chinese, "system", "ReadFileName", ""), QString("/书/三国演义.txt"));
    const QByteArray utf8 = "\xEF\xBB\xBF[system]\nReadFileName=/书/红楼梦.txt\n";
    QCOMPARE(lookup(utf8, "system", "ReadFileName", ""), QString("/书/红楼梦.txt"));

    // A file that does not exist gives the default.
    QCOMPARE(GetPrivateProfileString("system", "PlayPos", "1", "/nonexistent/config.ini"),
             QString("1"));
}

void TestProfile::valuesAreCutAt299Bytes()
{
    const QByteArray ascii(400, 'a');
    QCOMPARE(lookup("[system]\nk=" + ascii + "\n", "system", "k", "").size(), 299);
    // 150 two-byte characters are 300 bytes: the cut drops the one that
    // would be split, never leaving half a character.
    const QString han(150, QChar(0x4E2D));
    const QString cut = lookup(gb18030("[system]\nk=" + han + "\n"), "system", "k", "");
    QCOMPARE(cut, QString(149, QChar(0x4E2D)));
    // Blanks are dropped before the cut.
    QCOMPARE(lookup("[system]\nk=   " + QByteArray(299, 'b') + "   \n", "system", "k", ""),
             QString(299, 'b'));
}

void TestProfile::toleratesBrokenFiles()
{
    // NUL bytes end a value; garbage and lone CRs do not hide the section.
    QByteArray withNul = "[system]\rPlayPos=12";
    withNul += '\0';
    withNul += "34\r";
    QCOMPARE(lookup(withNul, "system", "PlayPos", "1"), QString("12"));

    QByteArray garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += char((i * 7919) % 256);
    const QByteArray mixed = garbage + "\n[system]\nPlayRate=5\n" + garbage;
    QCOMPARE(lookup(mixed, "system", "PlayRate", "7"), QString("5"));
    QCOMPARE(lookup(garbage, "system", "PlayRate", "7"), QString("7"));

    // No section at all, an unterminated header, a line without '='.
    QCOMPARE(lookup("PlayRate=5\n", "system", "PlayRate", "7"), QString("7"));
    QCOMPARE(lookup("[system\nPlayRate=5\n", "system", "PlayRate", "7"), QString("7"));
    QCOMPARE(lookup("[system]\nPlayRate\n", "system", "PlayRate", "7"), QString("7"));

    // A very long line before the key.
    const QByteArray longLine = "[system]\nx=" + QByteArray(1 << 20, 'x') + "\nPlayRate=3\n";
    QCOMPARE(lookup(longLine, "system", "PlayRate", "7"), QString("3"));
}

void TestProfile::writeReplacesInPlaceAndKeepsOtherBytes()
{
    const QByteArray before = "; keep me\r\n"
                              "[other]\r\n"
                              "PlayPos=5\r\n"
                              "\r\n"
                              "[System]\r\n"
                              "readfilename = /old.txt\r\n"
                              "Unknown=kept\r\n"
                              "\r\n"
                              "[third]\r\n"
                              "x=1\r\n";
    const QByteArray after = withValue(before, "system", "ReadFileName", "/新的.txt");
    QByteArray expected = before;
    expected.replace("readfilename = /old.txt", "ReadFileName=" + gb18030("/新的.txt"));
    QCOMPARE(after, expected);

    // A value with a line break cannot add lines to the file.
    const QByteArray injected = withValue(before, "system", "ReadFileName", "/a\nPlayPos=9");
    QCOMPARE(lookup(injected, "system", "PlayPos", "none"), QString("none"));
    QCOMPARE(injected.count('\n'), before.count('\n'));

    // Binary garbage elsewhere in the file survives a write untouched.
    QByteArray garbage("\xFF\xFE\x00\x81\x30junk\x80\xFF", 12);
    const QByteArray withGarbage = garbage + "\n[system]\nPlayRate=5\n" + garbage;
    const QByteArray written = withValue(withGarbage, "system", "PlayRate", "6");
    QCOMPARE(written, garbage + "\n[system]\nPlayRate=6\n" + garbage);
}

void TestProfile::writeAppendsAndCreates()
{
    // A missing key goes after the last line of its section, before blanks.
    const QByteArray before = "[system]\nPlayPos=1\n\n[other]\nk=v\n";
    QCOMPARE(withValue(before, "system", "PlayRate", "7"),
             QByteArray("[system]\nPlayPos=1\nPlayRate=7\n\n[other]\nk=v\n"));
    // A missing section goes at the end; a last line without a break gets one.
    QCOMPARE(withValue("[other]\nk=v", "system", "PlayPos", "0"),
             QByteArray("[other]\nk=v\n[system]\nPlayPos=0\n"));
    // CRLF files get CRLF lines.
    QCOMPARE(withValue("[other]\r\nk=v\r\n", "system", "PlayPos", "0"),
             QByteArray("[other]\r\nk=v\r\n[system]\r\nPlayPos=0\r\n"));
    // The UTF-8 mark stays, and the new text is UTF-8.
    QCOMPARE(withValue("\xEF\xBB\xBF", "system", "ReadFileName", "/书.txt"),
             QByteArray("\xEF\xBB\xBF[system]\nReadFileName=/书.txt\n"));

    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    QVERIFY(WritePrivateProfileString("system", "ReadFileName", "/a.txt", path));
    QVERIFY(WritePrivateProfileString("system", "PlayPos", "42", path));
    QCOMPARE(readFile(path), QByteArray("[system]\nReadFileName=/a.txt\nPlayPos=42\n"));
    QCOMPARE(GetPrivateProfileString("System", "playpos", "1", path), QString("42"));
}

void TestProfile::gb18030KeepsEveryCharacter()
{
    // Characters outside code page 936 (an extension-B ideograph, an emoji,
    // a Korean syllable) come back as they went in.
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    const QString name = QString::fromUtf8("/书/𠀀😀한.txt");
    QVERIFY(WritePrivateProfileString("system", "ReadFileName", name, path));
    QCOMPARE(GetPrivateProfileString("system", "readfilename", "", path), name);
    // Code page 936 characters are the same bytes in both.
    QVERIFY(readFile(path).contains(QByteArray("\xCA\xE9", 2)));   // 书
}

void TestProfile::failedWriteLeavesOldFile()
{
    QVERIFY(!WritePrivateProfileString("system", "PlayPos", "6", "/nonexistent/dir/config.ini"));
    QVERIFY(!QFile::exists("/nonexistent/dir/config.ini"));

    QTemporaryDir dir;
    const QString folder = dir.filePath("ro");
    const QString path = folder + "/config.ini";
    writeFile(path, "[system]\nPlayPos=5\n");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(folder).isWritable())
        QSKIP("running with rights that ignore folder permissions");
    QVERIFY(!WritePrivateProfileString("system", "PlayPos", "6", path));
    QCOMPARE(readFile(path), QByteArray("[system]\nPlayPos=5\n"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A file that exists but cannot be read is not replaced by a new one.
    QFile::setPermissions(path, QFile::WriteOwner);
    QVERIFY(!WritePrivateProfileString("system", "PlayPos", "6", path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(readFile(path), QByteArray("[system]\nPlayPos=5\n"));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
