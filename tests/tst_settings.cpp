#include "app/AppSettings.h"
#include "app/ConfigLocation.h"
#include "app/NumberText.h"
#include "fakes/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void convertsNumbersLikeTheSettingsFileExpects();
    void loadsDefaultsAndEdgeValues();
    void writesSixKeysInOrder();
    void choosesWhereTheFileLives();
};

void TestSettings::convertsNumbersLikeTheSettingsFileExpects()
{
    qint16 field = 0;
    const auto conv16 = [&](const QString &text, qint16 start) {
        field = start;
        assignWholeNumber(text, field);
        return field;
    };
    QCOMPARE(conv16("12", 0), qint16(12));
    QCOMPARE(conv16("  12 \t", 0), qint16(12));
    QCOMPARE(conv16("+7", 0), qint16(7));
    QCOMPARE(conv16("-3", 0), qint16(-3));
    // Halves go to the even neighbour, other fractions to the nearest.
    QCOMPARE(conv16("12.5", 0), qint16(12));
    QCOMPARE(conv16("13.5", 0), qint16(14));
    QCOMPARE(conv16("12.51", 0), qint16(13));
    QCOMPARE(conv16("-2.5", 0), qint16(-2));
    QCOMPARE(conv16("-3.5", 0), qint16(-4));
    QCOMPARE(conv16(".7", 0), qint16(1));
    QCOMPARE(conv16("7.", 0), qint16(7));
    // Not a number, or too big: the field keeps what it had.
    QCOMPARE(conv16("abc", 4), qint16(4));
    QCOMPARE(conv16("", 4), qint16(4));
    QCOMPARE(conv16("1 2", 4), qint16(4));
    QCOMPARE(conv16("0x10", 4), qint16(4));
    QCOMPARE(conv16("32767", 4), qint16(32767));
    QCOMPARE(conv16("32768", 4), qint16(4));
    QCOMPARE(conv16("-32768", 4), qint16(-32768));
    QCOMPARE(conv16("32767.5", 4), qint16(4));   // rounds out of range
    QCOMPARE(conv16("99999999999999999999999", 4), qint16(4));

    qint32 pos = 0;
    assignWholeNumber(QString("2147483647"), pos);
    QCOMPARE(pos, 2147483647);
    assignWholeNumber(QString("2147483648"), pos);
    QCOMPARE(pos, 2147483647);
}

void TestSettings::loadsDefaultsAndEdgeValues()
{
    QTemporaryDir dir;
    AppSettingsRecord s;
    s.ConfigPath = dir.filePath("config.ini");
    modMain::LoadSettings(s);
    QCOMPARE(s.ReadFileName, QString());
    QCOMPARE(s.PlayPos, 1);
    QCOMPARE(s.PlayRate, qint16(7));
    QCOMPARE(s.AutoRate, qint16(3));
    QCOMPARE(s.FontSizes, qint16(10));
    QCOMPARE(s.curLanguage, qint16(0));

    writeFile(s.ConfigPath, "[SYSTEM]\r\n"
                            "ReAdFiLeNaMe=/书/a.txt\r\n"
                            "PlayRate=\r\n"
                            "AutoRate=32768\r\n"
                            "FontSizes= 13.5 \r\n"
                            "PlayPos=2147483648\r\n"
                            "curLanguage=-1\r\n");
    // A file written with GB18030 holds the path in those bytes.
    writeFile(s.ConfigPath, readFile(s.ConfigPath).replace("/书/a.txt", gb18030("/书/a.txt")));
    AppSettingsRecord t;
    t.ConfigPath = s.ConfigPath;
    modMain::LoadSettings(t);
    QCOMPARE(t.ReadFileName, QString("/书/a.txt"));
    QCOMPARE(t.PlayRate, qint16(0));    // present but empty: not the default
    QCOMPARE(t.AutoRate, qint16(0));    // too big for its field
    QCOMPARE(t.FontSizes, qint16(14));
    QCOMPARE(t.PlayPos, 0);
    QCOMPARE(t.curLanguage, qint16(-1));

    // Binary garbage: defaults throughout.
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char(i * 31);
    writeFile(s.ConfigPath, garbage);
    AppSettingsRecord u;
    u.ConfigPath = s.ConfigPath;
    modMain::LoadSettings(u);
    QCOMPARE(u.PlayRate, qint16(7));
    QCOMPARE(u.FontSizes, qint16(10));
}

void TestSettings::writesSixKeysInOrder()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    modMain::SetupValues v;
    v.ReadFileName = "/小说/三体.txt";
    v.caret = 1234;
    v.PlayRate = 5;
    v.AutoRate = 10;
    v.FontSizes = 30;
    v.listIndex = -1;
    modMain::WriteSetup(path, v);
    QCOMPARE(readFile(path), gb18030("[system]\n"
                                     "ReadFileName=/小说/三体.txt\n"
                                     "PlayPos=1234\n"
                                     "PlayRate=5\n"
                                     "AutoRate=10\n"
                                     "FontSizes=30\n"
                                     "curLanguage=-1\n"));

    // Written back over a hand-made file: lines are updated where they are,
    // the rest is kept.
    writeFile(path, "# mine\r\n[system]\r\nfontsizes=12\r\nExtra=1\r\n");
    v.ReadFileName.clear();
    v.caret = 0;
    modMain::WriteSetup(path, v);
    QCOMPARE(readFile(path), QByteArray("# mine\r\n[system]\r\nFontSizes=30\r\nExtra=1\r\n"
                                        "ReadFileName=\r\nPlayPos=0\r\nPlayRate=5\r\n"
                                        "AutoRate=10\r\ncurLanguage=-1\r\n"));
    AppSettingsRecord back;
    back.ConfigPath = path;
    modMain::LoadSettings(back);
    QCOMPARE(back.FontSizes, qint16(30));
    QCOMPARE(back.ReadFileName, QString());
}

void TestSettings::choosesWhereTheFileLives()
{
    QTemporaryDir dir;
    const QString program = dir.filePath("bin");
    const QString user = dir.filePath("user/talvero");
    QDir().mkpath(program);
    // A writable program folder keeps the file beside the program, also
    // from a folder path that ends in a separator.
    QCOMPARE(chooseConfigPath(program, user), program + "/config.ini");
    QCOMPARE(chooseConfigPath(program + "/", user), program + "//config.ini");
    // A folder that does not exist (or cannot be written) sends it to the
    // user's configuration folder.
    QCOMPARE(chooseConfigPath(dir.filePath("missing"), user), user + "/config.ini");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    if (!QFileInfo(program).isWritable())
        QCOMPARE(chooseConfigPath(program, user), user + "/config.ini");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // An installed program does not make a file in its own folder, even
    // where it could; one already there is used.
    writeFile(dir.filePath("share/applications/" TALVERO_APP_ID ".desktop"), "[Desktop Entry]\n");
    QCOMPARE(chooseConfigPath(program, user), user + "/config.ini");
    writeFile(program + "/config.ini", "[system]\n");
    QCOMPARE(chooseConfigPath(program, user), program + "/config.ini");
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
