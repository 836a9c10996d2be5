#include "speech/EspeakEngine.h"
#include "speech/EspeakVoice.h"
#include "speech/SpeechSegmenter.h"
#include "speech/WordEventFilter.h"

#include <QElapsedTimer>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QList<SpeechSegmenter::Segment> allSegments(const QString &text, qsizetype from = 0)
{
    QList<SpeechSegmenter::Segment> out;
    SpeechSegmenter segmenter(text, from);
    while (auto s = segmenter.next())
        out.append(*s);
    return out;
}

QList<qint32> positions(const QSignalSpy &spy)
{
    QList<qint32> out;
    for (const auto &args : spy)
        out.append(args[0].toInt());
    return out;
}

// Speaks text and waits until the last word of it has been reported.
void speakAllInto(EspeakVoice &voice, const QString &text, qsizetype from, QList<qint32> &heard)
{
    QSignalSpy words(&voice, &Voice::Word);
    voice.Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    voice.speakFrom(text, from, Voice::SVSFlagsAsync);
    qint64 total = -1;
    // Done when synthesis has stopped growing and every word was heard.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const qint64 now = voice.engine()->sessionSamples();
            const bool settled = now == total && now > 0;
            total = now;
            return settled && !words.isEmpty()
                   && words.last()[0].toInt() >= qint32(text.size() - from) - 8;
        }(),
        30000);
    heard = positions(words);
}

QList<qint32> speakAll(EspeakVoice &voice, const QString &text, qsizetype from = 0)
{
    QList<qint32> heard;
    speakAllInto(voice, text, from, heard);
    return heard;
}

} // namespace

class TestSpeech : public QObject
{
    Q_OBJECT

private slots:
    void withoutDataTheVoiceIsNotCreated();
    void oneEngineAtATime();
    void segmentsCoverTheTextInShortPieces();
    void wordEventsAreCleanedUp();
    void rateAndVolumeLimits();
    void wordsFollowTheTextInOrder();
    void stopIsImmediateAndDropsOldWords();
    void rateVoiceAndBadInput();
};

void TestSpeech::withoutDataTheVoiceIsNotCreated()
{
    // eSpeak keeps the state of its first start for the whole process, so
    // this case runs in a process of its own (see CMakeLists.txt).
    if (qEnvironmentVariableIsEmpty("TALVERO_TEST_NO_SPEECH_DATA"))
        QSKIP("runs alone, as tst_speech_without_data");
    QTemporaryDir empty;
    QDir(empty.path()).mkdir("espeak-ng-data");
    std::unique_ptr<EspeakVoice> missing(
        EspeakVoice::create(nullptr, empty.path().toLocal8Bit().constData()));
    QVERIFY(!missing);
}

void TestSpeech::oneEngineAtATime()
{
    std::unique_ptr<EspeakVoice> ok(EspeakVoice::create());
    QVERIFY(ok);
    // Only one engine at a time: eSpeak is one per process.
    std::unique_ptr<EspeakVoice> second(EspeakVoice::create());
    QVERIFY(!second);
}

void TestSpeech::segmentsCoverTheTextInShortPieces()
{
    const QString text = QStringLiteral("第一句。第二句！“引号里。”\n\n圆周率是3.14，不是三。English, too. 😀表情𠀀字")
                         + QString(250, QChar(0x6C49)) + QStringLiteral("，")
                         + QString(30, QChar(0x5B57)) + QString(900, u'x');
    const auto segments = allSegments(text);
    qsizetype at = 0;
    for (const auto &s : segments) {
        QCOMPARE(s.begin, at);
        QVERIFY(s.end > s.begin);
        QVERIFY(s.end - s.begin <= SpeechSegmenter::kMaxPiece);
        QVERIFY(!text[s.end - 1].isHighSurrogate());
        QVERIFY(!s.utf8.contains('\0'));
        QVERIFY(!s.utf8.contains('\n'));
        const int han = std::count_if(text.begin() + s.begin, text.begin() + s.end,
                                      [](QChar c) { return c.script() == QChar::Script_Han; });
        QVERIFY(han <= SpeechSegmenter::kMaxRun);
        // One offset per code point, and the UTF-8 holds those code points.
        QCOMPARE(qsizetype(s.codePointOffsets.size()) - 1,
                 qsizetype(QString::fromUtf8(s.utf8).toUcs4().size()));
        QCOMPARE(s.codePointOffsets.back(), s.end);
        at = s.end;
    }
    QCOMPARE(at, text.size());
    QCOMPARE(text.mid(segments[0].begin, segments[0].end - segments[0].begin), QString("第一句。"));
    QCOMPARE(text.mid(segments[2].begin, segments[2].end - segments[2].begin),
             QString("“引号里。”\n\n"));
    // "3.14" is not a sentence end.
    QVERIFY(std::any_of(segments.begin(), segments.end(), [&](const auto &s) {
        return text.mid(s.begin, s.end - s.begin).contains("3.14");
    }));

    // From the middle of the text; from past its end.
    QCOMPARE(allSegments(text, 4).first().begin, 4);
    QVERIFY(allSegments(text, text.size() + 5).isEmpty());
    QVERIFY(allSegments(QString()).isEmpty());

    // A line of 100 000 Han characters is cut as it is read, not ahead.
    const QString line(100000, QChar(0x6587));
    SpeechSegmenter lazy(line, 0);
    const auto first = lazy.next();
    QVERIFY(first);
    QCOMPARE(first->end, SpeechSegmenter::kMaxRun);
}

void TestSpeech::wordEventsAreCleanedUp()
{
    const QString text = QStringLiteral("ab  cd😀ef gh");
    SpeechSegmenter segmenter(text, 0);
    const auto seg = *segmenter.next();
    WordEventFilter filter(text);
    QVERIFY(!filter.accept(seg, 0, 2));               // the spurious position 0
    QCOMPARE(*filter.accept(seg, 1, 2), qsizetype(0));
    QVERIFY(!filter.accept(seg, 1, 2));               // a repeat
    QCOMPARE(*filter.accept(seg, 3, 2), qsizetype(4));   // at the blanks before "cd"
    QVERIFY(!filter.accept(seg, 2, 0));               // zero length, backwards
    QVERIFY(!filter.accept(seg, 2, 3));               // any step back
    // Code point 7 is "e", after the emoji's two UTF-16 units.
    QCOMPARE(*filter.accept(seg, 8, 2), qsizetype(8));
    QVERIFY(!filter.accept(seg, 99, 1));               // beyond the piece
}

void TestSpeech::rateAndVolumeLimits()
{
    QCOMPARE(EspeakVoice::wordsPerMinute(0), 175);
    QCOMPARE(EspeakVoice::wordsPerMinute(10), 525);
    QCOMPARE(EspeakVoice::wordsPerMinute(7), 378);
    QCOMPARE(EspeakVoice::wordsPerMinute(-10), 80);   // 58 is below what eSpeak does
    QCOMPARE(EspeakVoice::wordsPerMinute(-5), 101);

    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
    QVERIFY(voice->setRate(7));
    QVERIFY(!voice->setRate(99));
    QVERIFY(!voice->setRate(-99));
    QCOMPARE(voice->Rate(), 7);
    QVERIFY(voice->setVolume(40));
    QVERIFY(!voice->setVolume(500));
    QVERIFY(!voice->setVolume(-1));
    QCOMPARE(voice->Volume(), 40);
    QVERIFY(voice->IsUISupported("AudioVolume"));
    QVERIFY(!voice->IsUISupported("SpeechRecognition"));

    // Chinese voices first, always in the same order.
    const QList<VoiceToken> voices = voice->GetVoices();
    QVERIFY(voices.size() > 10);
    QVERIFY(voices.first().description.contains("Chinese"));
    bool seenOther = false;
    for (const VoiceToken &t : voices) {
        const bool chinese = t.description.contains("Chinese");
        QVERIFY(!(chinese && seenOther));
        seenOther |= !chinese;
    }
    QVERIFY(!voice->setVoice({"no/such", "Nothing"}));
}

void TestSpeech::wordsFollowTheTextInOrder()
{
    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
    voice->setRate(10);
    const QString text = QStringLiteral("　　天下大势，分久必合。\n\n合久必分！😀周末七国分争，并入于秦。");
    const QList<qint32> heard = speakAll(*voice, text, 2);
    QVERIFY(heard.size() >= 10);
    qint32 last = -1;
    for (qint32 p : heard) {
        QVERIFY2(p > last, "words go forward only");
        const QChar c = text[2 + p];
        QVERIFY2(!c.isSpace() && !c.isLowSurrogate(), qPrintable(QString("bad start %1").arg(p)));
        last = p;
    }
    QCOMPARE(heard.first(), 0);   // the text begins with a word

    // English, with blanks and punctuation between the words.
    voice->setVoice(voice->GetVoices().last());
    for (const VoiceToken &t : voice->GetVoices()) {
        if (t.id == QLatin1String("gmw/en"))
            voice->setVoice(t);
    }
    const QString english = QStringLiteral("Hello world,  this is a test.  Of reading aloud.");
    const QList<qint32> words = speakAll(*voice, english);
    for (qint32 p : words) {
        QVERIFY(p == 0 || english[p - 1].isSpace());
        QVERIFY(english[p].isLetter());
    }
    QVERIFY(words.contains(english.indexOf("world")));
    QVERIFY(words.contains(english.indexOf("reading")));
}

void TestSpeech::stopIsImmediateAndDropsOldWords()
{
    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
    QSignalSpy words(voice.get(), &Voice::Word);
    const QString longText = QStringLiteral("天下大势，分久必合，合久必分。").repeated(200);
    voice->Speak(longText, Voice::SVSFlagsAsync);
    QTRY_VERIFY_WITH_TIMEOUT(words.size() >= 2, 10000);
    voice->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    words.clear();
    // Nothing of the purged text is reported afterwards, and synthesis of
    // it stops (the session starts from zero and stays there).
    QTest::qWait(300);
    QVERIFY(words.isEmpty());
    QCOMPARE(voice->engine()->sessionSamples(), 0);

    // Speaking again from the interrupted word starts there.
    const QList<qint32> resumed = speakAll(*voice, QStringLiteral("第二段开始。"));
    QCOMPARE(resumed.first(), 0);
}

void TestSpeech::rateVoiceAndBadInput()
{
    std::unique_ptr<EspeakVoice> voice(EspeakVoice::create());
    QVERIFY(voice);
    const QString text = QStringLiteral("一二三四五六七八九十。");
    voice->setRate(0);
    speakAll(*voice, text);
    const qint64 normal = voice->engine()->sessionSamples();
    voice->setRate(10);
    speakAll(*voice, text);
    const qint64 fast = voice->engine()->sessionSamples();
    QVERIFY2(fast < normal * 2 / 3, "a higher rate speaks the same text in less time");

    // Nothing to say, odd characters, a caret past the end: no crash, no
    // words outside the text.
    QSignalSpy words(voice.get(), &Voice::Word);
    for (const QString &odd : {QString(), QString("   "), QString("。，！？…"),
                               QString("a\u0001b\u0000c\u0007"), QString(300, u'w'),
                               QString(QChar(0xD800)) + " lone surrogate"}) {
        voice->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
        voice->Speak(odd, Voice::SVSFlagsAsync);
        QTest::qWait(50);
    }
    voice->speakFrom(QStringLiteral("abc"), 10, Voice::SVSFlagsAsync);
    const QString rare = QStringLiteral("𠀀𪚥龘 😀 文字");
    speakAll(*voice, rare);
    QTest::qWait(200);
    for (const auto &args : words)
        QVERIFY(args[0].toInt() >= 0 && args[0].toInt() < 300);

    // A long unpunctuated line starts at once and can be stopped.
    words.clear();
    voice->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    voice->Speak(QString(100000, QChar(0x6587)), Voice::SVSFlagsAsync);
    QTRY_VERIFY_WITH_TIMEOUT(words.size() >= 3, 10000);
    voice->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
}

QTEST_MAIN(TestSpeech)
#include "tst_speech.moc"
