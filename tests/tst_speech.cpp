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

// Speaks text[from:] and returns the word offsets heard, once the last
// word of it was heard.
QList<qint32> speakAll(EspeakVoice &voice, const QString &text, qsizetype from = 0)
{
    QSignalSpy words(&voice, &Voice::Word);
    voice.Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    voice.speakFrom(text, from, Voice::SVSFlagsAsync);
    const qint32 nearEnd = qint32(text.size() - from) - 8;
    QList<qint32> heard;
    if (!QTest::qWaitFor([&] { return !words.isEmpty() && words.last()[0].toInt() >= nearEnd; }, 30000))
        return heard;   // nothing, so the caller's checks fail
    for (const auto &args : words)
        heard << args[0].toInt();
    return heard;
}

} // namespace

class TestSpeech : public QObject
{
    Q_OBJECT

private slots:
    void withoutDataTheVoiceIsNotCreated();
    void voicesAndLimits();
    void wordsComeInOrderOnWordStarts_data();
    void wordsComeInOrderOnWordStarts();
    void stopDropsEverythingOfTheOldText();
    void fasterRateFewerSamples();
    void oddTextSpeaksNothingOutside();
};

void TestSpeech::withoutDataTheVoiceIsNotCreated()
{
    if (qEnvironmentVariableIsEmpty("TALVERO_TEST_NO_SPEECH_DATA"))
        QSKIP("runs alone, as tst_speech_without_data");
    QTemporaryDir empty;
    QDir(empty.path()).mkdir("espeak-ng-data");
    QVERIFY(!EspeakVoice::create(nullptr, empty.path().toLocal8Bit().constData()));
}

void TestSpeech::voicesAndLimits()
{
    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
    QVERIFY(!std::unique_ptr<EspeakVoice>(EspeakVoice::create()));   // eSpeak is one per process
    const QList<VoiceToken> voices = voice->GetVoices();
    QVERIFY(voices.size() > 10);
    // Chinese first (a first start takes index 0), then the rest.
    const auto firstOther = std::find_if(voices.begin(), voices.end(), [](const VoiceToken &t) {
        return !t.description.contains("Chinese");
    });
    QVERIFY(firstOther != voices.begin());
    QVERIFY(std::none_of(firstOther, voices.end(),
                         [](const VoiceToken &t) { return t.description.contains("Chinese"); }));
    QVERIFY(!voice->setVoice({"no/such", "Nothing"}));
    QVERIFY(voice->setRate(7) && !voice->setRate(99) && !voice->setRate(-99));
    QCOMPARE(voice->Rate(), 7);
    QVERIFY(voice->setVolume(40) && !voice->setVolume(500) && !voice->setVolume(-1));
    QCOMPARE(voice->Volume(), 40);
    QVERIFY(voice->IsUISupported("AudioVolume") && !voice->IsUISupported("SpeechRecognition"));
}

void TestSpeech::wordsComeInOrderOnWordStarts_data()
{
    QTest::addColumn<QString>("voiceId");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::newRow("Chinese, from the middle")
        << "" << QStringLiteral("　　天下大势，分久必合。\n\n合久必分！😀周末七国分争，并入于秦。") << 2;
    QTest::newRow("English with blanks")
        << "gmw/en" << QStringLiteral("Hello world,  this is a test.  Of reading aloud.") << 0;
}

void TestSpeech::wordsComeInOrderOnWordStarts()
{
    QFETCH(QString, voiceId);
    QFETCH(QString, text);
    QFETCH(int, from);
    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
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

void TestSpeech::stopDropsEverythingOfTheOldText()
{
    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
    SampleCount samples;
    voice->engine()->setProbe(&samples);
    QSignalSpy words(voice.get(), &Voice::Word);
    voice->Speak(QStringLiteral("天下大势，分久必合，合久必分。").repeated(200), Voice::SVSFlagsAsync);
    QTRY_VERIFY_WITH_TIMEOUT(words.size() >= 2, 10000);
    voice->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    words.clear();
    const qint64 atStop = samples.total;
    QTest::qWait(300);
    QVERIFY(words.isEmpty());
    QVERIFY2(samples.total <= atStop + 22050 / 10, "synthesis of the old text stops");
    QCOMPARE(speakAll(*voice, QStringLiteral("第二段开始。")).first(), 0);
    voice->engine()->setProbe(nullptr);
}

void TestSpeech::fasterRateFewerSamples()
{
    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
    SampleCount samples;
    voice->engine()->setProbe(&samples);
    const QString text = QStringLiteral("一二三四五六七八九十。");
    voice->setRate(0);
    speakAll(*voice, text);
    const qint64 normal = samples.total;
    voice->setRate(10);
    speakAll(*voice, text);
    QVERIFY2(samples.total < normal * 2 / 3, "the same text in less time");
    voice->engine()->setProbe(nullptr);
}

void TestSpeech::oddTextSpeaksNothingOutside()
{
    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
    QSignalSpy words(voice.get(), &Voice::Word);
    for (const QString &odd : {QString("   "), QString("。，！？…"), QString("a\u0001b\u0000c\u0007"),
                               QString(300, u'w'), QString(QChar(0xD800)) + " lone half",
                               QStringLiteral("𠀀𪚥龘 😀 文字")}) {
        voice->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
        voice->Speak(odd, Voice::SVSFlagsAsync);
        QTest::qWait(100);
    }
    voice->speakFrom(QStringLiteral("abc"), 10, Voice::SVSFlagsAsync);
    QTest::qWait(200);
    for (const auto &args : words)
        QVERIFY(args[0].toInt() >= 0 && args[0].toInt() < 300);
    // A line of 100 000 characters starts at once and stops.
    words.clear();
    voice->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    voice->Speak(QString(100000, QChar(0x6587)), Voice::SVSFlagsAsync);
    QTRY_VERIFY_WITH_TIMEOUT(words.size() >= 3, 10000);
}

QTEST_MAIN(TestSpeech)
#include "tst_speech.moc"
