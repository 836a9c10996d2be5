// The eSpeak NG voice, played on the silent clock (no sound server here).
#include "speech/EspeakEngine.h"
#include "speech/EspeakVoice.h"
#include "speech/SpeechProbe.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

struct SampleCount : SpeechProbe {
    void synthesized(qint64 samples) override { total = samples; }
    std::atomic<qint64> total = 0;
};

// The word offsets heard of text[from:], once the voice reports its end.
QList<qint32> speakAll(EspeakVoice &voice, const QString &text, qsizetype from = 0)
{
    QSignalSpy words(&voice, &Voice::Word), ended(&voice, &Voice::EndStream);
    voice.Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    voice.speakFrom(text, from, Voice::SVSFlagsAsync);
    QList<qint32> heard;
    if (ended.wait(30000) && ended.size() == 1) {
        for (const auto &args : words)
            heard << args[0].toInt();
    }
    return heard;
}

} // namespace

class TestSpeech : public QObject
{
    Q_OBJECT

private slots:
    void withoutDataTheVoiceIsNotCreated()
    {
        if (qEnvironmentVariableIsEmpty("TALVERO_TEST_NO_SPEECH_DATA"))
            QSKIP("runs alone, as tst_speech_without_data");
        QTemporaryDir empty;
        QDir(empty.path()).mkdir("espeak-ng-data");
        QVERIFY(!EspeakVoice::create(nullptr, empty.path().toLocal8Bit().constData()));
    }

    void wordsComeInOrderOnWordStarts_data()
    {
        QTest::addColumn<QString>("voiceId");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        // clang-format off
        QTest::newRow("Chinese, from the middle") << "" << QStringLiteral("　　天下大势，分久必合。\n\n合久必分！😀周末七国分争，并入于秦。") << 2;
        QTest::newRow("English with blanks") << "gmw/en" << QStringLiteral("Hello world,  this is a test.  Of reading aloud.") << 0;
        // clang-format on
    }

    void wordsComeInOrderOnWordStarts()
    {
        QFETCH(QString, voiceId);
        QFETCH(QString, text);
        QFETCH(int, from);
        std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
        QVERIFY(voice);
        QVERIFY(!std::unique_ptr<EspeakVoice>(EspeakVoice::create())); // one per process
        for (const VoiceToken &t : voice->GetVoices()) {
            if (t.id == voiceId)
                voice->setVoice(t);
        }
        voice->setRate(10);
        const QList<qint32> heard = speakAll(*voice, text, from);
        QVERIFY(heard.size() >= 6);
        QCOMPARE(heard.first(), 0);
        for (int i = 0; i < heard.size(); ++i) {
            const QChar c = text[from + heard[i]];
            QVERIFY2(i == 0 || heard[i] > heard[i - 1], "words go forward only");
            QVERIFY2(!c.isSpace() && !c.isLowSurrogate() && !c.isPunct(), qPrintable(QString(c)));
            QVERIFY(voiceId.isEmpty() || heard[i] == 0 || text[from + heard[i] - 1].isSpace());
        }
    }

    void stopDropsTheOldTextAndRateCounts()
    {
        std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
        QVERIFY(voice);
        SampleCount samples;
        voice->engine()->setProbe(&samples);
        QSignalSpy words(voice.get(), &Voice::Word);
        voice->Speak(QStringLiteral("天下大势，分久必合，合久必分。").repeated(200),
                     Voice::SVSFlagsAsync);
        QTRY_VERIFY_WITH_TIMEOUT(words.size() >= 2, 10000);
        voice->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
        words.clear();
        const qint64 atStop = samples.total;
        QTest::qWait(300);
        QVERIFY(words.isEmpty());
        QVERIFY2(samples.total <= atStop + voice->engine()->sampleRate() / 10,
                 "synthesis of the old text stops");
        // A higher rate says the same text in fewer samples.
        const QString text = QStringLiteral("一二三四五六七八九十。");
        voice->setRate(0);
        QCOMPARE(speakAll(*voice, text).first(), 0);
        const qint64 normal = samples.total;
        QVERIFY(voice->setRate(10));
        QVERIFY(!voice->setRate(99));
        speakAll(*voice, text);
        QVERIFY(samples.total < normal * 2 / 3);
        voice->engine()->setProbe(nullptr);
    }
};

QTEST_MAIN(TestSpeech)
#include "tst_speech.moc"
