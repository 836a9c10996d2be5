// Saving the settings while reading: a checkpoint a period after a mode
// began, only when the caret moved, tried again after a failed write, and
// never after the exit's write.
#include "app/ReadingCheckpoint.h"
#include "app/SettingsWriter.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void checkpointWhileReading()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        SettingsWriter writer(path);
        modMain::SetupValues values{"/书.txt", 9, 7, 3, 10, 0};
        ReadingCheckpoint checkpoint(
            writer, [&] { return values; }, std::chrono::hours(1));
        const auto saved = [&](qint32 caret) {
            values.caret = caret;
            checkpoint.tick();
            checkpoint.wait();
            return Profile::GetPrivateProfileString("system", "PlayPos", "-", path);
        };
        QCOMPARE(saved(5), "-"); // no mode runs
        checkpoint.setActive(true);
        QCOMPARE(saved(5), "-"); // not moved since the mode began
        QVERIFY(QDir().mkdir(path));
        QCOMPARE(saved(6), "-"); // cannot be written: tried again next time
        QVERIFY(QDir().rmdir(path));
        QCOMPARE(saved(6), "6");
        QVERIFY(QFile::remove(path));
        QCOMPARE(saved(6), "-"); // not moved since the last save
        checkpoint.setActive(false);
        QCOMPARE(saved(7), "-");
        checkpoint.setActive(true);
        QVERIFY(writer.writeLast(values) && !writer.write(values)); // the exit's write stays
        QCOMPARE(saved(8), "7");
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
