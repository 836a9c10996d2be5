// Reading aloud: how soon the voice starts, how fast it stops, how late the
// caret's word events are, and whether memory stays flat. Run it on a
// desktop with a sound server, for example:
//
//   tests/e2e/desktop-session.sh build/bench/bench_speech [minutes]
//
// `minutes` is how much synthesized speech the memory check produces
// (default 60).
#include "speech/EspeakEngine.h"
#include "speech/EspeakVoice.h"
#include "speech/SpeechSegmenter.h"
#include "speech/WordEventFilter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QThread>

#include <espeak-ng/speak_lib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

qint64 rssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

QString novel(qsizetype characters)
{
    QString text;
    text.reserve(characters + 1024);
    QRandomGenerator random(20261206);
    const QString punctuation = QStringLiteral("，，，。。！？；：、");
    while (text.size() < characters) {
        text += QStringLiteral("　　");
        const int length = 40 + int(random.bounded(360));
        for (int i = 0; i < length; ++i) {
            if (i % 9 == 8) {
                text += punctuation[random.bounded(punctuation.size())];
            } else {
                const double u = random.generateDouble();
                text += QChar(char16_t(0x4E00 + int(3500 * u * u * u)));
            }
        }
        text += QStringLiteral("。\n");
    }
    return text;
}

// Milliseconds from the start of `espeak-ng --stdout` to its first byte of
// audio, and to its end.
std::pair<double, double> commandLine(const QString &textFile)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral("espeak-ng"),
                  {QStringLiteral("-v"), QStringLiteral("cmn"), QStringLiteral("-s"),
                   QStringLiteral("377"), QStringLiteral("--stdout"), QStringLiteral("-f"),
                   textFile});
    double first = -1;
    qint64 bytes = 0;
    // WAV header (44 bytes) first, then samples.
    while (process.state() != QProcess::NotRunning || process.bytesAvailable() > 0) {
        process.waitForReadyRead(5);
        bytes += process.readAllStandardOutput().size();
        if (first < 0 && bytes > 44)
            first = clock.nsecsElapsed() / 1e6;
        if (clock.elapsed() > 20000) {
            process.kill();
            process.waitForFinished();
            return {first, -1};
        }
    }
    return {first, clock.nsecsElapsed() / 1e6};
}

struct Receiver : QObject {
    std::vector<double> lagsMs;
    qint32 lastPosition = -1;
};

// Synthesis alone (no playback) of `minutes` of speech through the same
// segmenter and word filter, to show that memory does not grow with it.
int synthesisOnly(double minutes)
{
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, nullptr, espeakINITIALIZE_DONT_EXIT) <= 0)
        return 1;
    espeak_SetVoiceByName("sit/cmn");
    espeak_SetParameter(espeakRATE, EspeakVoice::wordsPerMinute(7), 0);
    static qint64 samples = 0;
    espeak_SetSynthCallback([](short *, int count, espeak_EVENT *) {
        samples += count;
        return 0;
    });
    const QString text = novel(2'000'000);
    const qint64 target = qint64(minutes * 60 * 22050);
    qint64 nextReport = 0;
    std::printf("  audio min   RSS KB\n");
    while (samples < target) {
        SpeechSegmenter segmenter(text, 0);
        WordEventFilter filter(text);
        while (auto segment = segmenter.next()) {
            espeak_Synth(segment->utf8.constData(), size_t(segment->utf8.size()) + 1, 0,
                         POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
            if (samples >= nextReport) {
                std::printf("  %9.1f %8lld\n", samples / 22050.0 / 60, qlonglong(rssKb()));
                std::fflush(stdout);
                nextReport += qint64(5 * 60 * 22050);
            }
            if (samples >= target)
                break;
        }
    }
    std::printf("  %9.1f %8lld\n", samples / 22050.0 / 60, qlonglong(rssKb()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--synthesis-only"))
        return synthesisOnly(args[2].toDouble());
    const double minutes = args.size() > 1 ? args[1].toDouble() : 60.0;

    Receiver receiver;
    std::uint64_t current = 0;
    auto engine = EspeakEngine::start([&](std::uint64_t session, qint32 position,
                                          std::int64_t heardAtNs) {
        QMetaObject::invokeMethod(&receiver, [&, session, position, heardAtNs] {
            if (session != current)
                return;
            receiver.lagsMs.push_back((nowNs() - heardAtNs) / 1e6);
            receiver.lastPosition = position;
        });
    });
    if (!engine) {
        std::printf("eSpeak NG could not start\n");
        return 1;
    }
    QString chineseVoice;
    for (const VoiceToken &voice : engine->voices()) {
        if (voice.id == QLatin1String("sit/cmn"))
            chineseVoice = voice.id;
    }
    const auto job = [&](const QString &text, qsizetype from) {
        EspeakEngine::Job j;
        j.text = text;
        j.from = from;
        j.voiceId = chineseVoice;
        j.wordsPerMinute = EspeakVoice::wordsPerMinute(7);
        return j;
    };
    const auto pump = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };

    std::printf("Building a 100 MB novel in memory...\n");
    const QString document = novel(50'000'000);   // 100 MB as GB18030
    const QString shortText = document.left(100);

    // 1. From Speak to the first sample handed to the output.
    std::vector<double> shortLatency;
    std::vector<double> longLatency;
    bool server = false;
    for (int i = 0; i < 10; ++i) {
        for (int longCase = 0; longCase < 2; ++longCase) {
            current = engine->purge();
            pump(50);
            const std::int64_t start = nowNs();
            current = longCase ? engine->enqueue(job(document, document.size() / 10))
                               : engine->enqueue(job(shortText, 0));
            while (engine->firstSampleHandedNs() == 0)
                QThread::usleep(100);
            const double ms = (engine->firstSampleHandedNs() - start) / 1e6;
            (longCase ? longLatency : shortLatency).push_back(ms);
            pump(300);
            server = server || engine->playingThroughServer();
        }
    }
    current = engine->purge();

    QTemporaryFile shortFile;
    shortFile.open();
    shortFile.write(shortText.toUtf8());
    shortFile.flush();
    QTemporaryFile longFile;
    longFile.open();
    longFile.write(document.mid(document.size() / 10, 2'000'000).toUtf8());
    longFile.flush();
    std::vector<double> cliShortFirst;
    std::vector<double> cliShortWhole;
    std::vector<double> cliLongFirst;
    for (int i = 0; i < 5; ++i) {
        const auto [first, whole] = commandLine(shortFile.fileName());
        cliShortFirst.push_back(first);
        cliShortWhole.push_back(whole);
        cliLongFirst.push_back(commandLine(longFile.fileName()).first);
    }

    // 2. From Speak with purge to silence.
    std::vector<double> stopMs;
    for (int i = 0; i < 10; ++i) {
        current = engine->enqueue(job(document, qsizetype(i) * 100000));
        pump(800);
        const std::int64_t start = nowNs();
        current = engine->purge();
        while (engine->lastSilencedNs() < start)
            QThread::usleep(100);
        stopMs.push_back((engine->lastSilencedNs() - start) / 1e6);
    }

    // 3. Word events after their first sample was heard, for 30 s.
    receiver.lagsMs.clear();
    current = engine->purge();
    current = engine->enqueue(job(document, 5000));
    pump(30000);
    current = engine->purge();
    const std::vector<double> lags = receiver.lagsMs;

    // 4a. Memory while reading through the sound server for a while.
    std::vector<qint64> rss;
    current = engine->enqueue(job(document, 0));
    for (int i = 0; i < 12; ++i) {
        pump(5000);
        rss.push_back(rssKb());
    }
    current = engine->purge();
    engine.reset();

    std::printf("\nAudio output: %s\n",
                server ? "the sound server" : "no sound server, the silent clock");
    std::printf("\nSpeak to first sample handed to the output (ms, 10 runs):\n");
    std::printf("  %-34s median %7.2f  p95 %7.2f\n", "100-character text",
                percentile(shortLatency, 0.5), percentile(shortLatency, 0.95));
    std::printf("  %-34s median %7.2f  p95 %7.2f\n", "rest of a 100 MB document",
                percentile(longLatency, 0.5), percentile(longLatency, 0.95));
    std::printf("  ratio long/short: %.2f\n",
                percentile(longLatency, 0.5) / std::max(0.01, percentile(shortLatency, 0.5)));
    std::printf("espeak-ng command line, same voice and speed (ms, 5 runs):\n");
    std::printf("  100-character text: first audio byte %.1f, whole file %.1f\n",
                percentile(cliShortFirst, 0.5), percentile(cliShortWhole, 0.5));
    std::printf("  2 million characters of the document: first audio byte %.1f\n",
                percentile(cliLongFirst, 0.5));
    std::printf("  ours / command line, first audio of the short text: %.3f\n",
                percentile(shortLatency, 0.5) / std::max(0.01, percentile(cliShortFirst, 0.5)));
    std::printf("\nSpeak with purge to silence (ms, 10 runs): median %.2f  max %.2f\n",
                percentile(stopMs, 0.5), percentile(stopMs, 1.0));
    std::printf("\nWord heard -> Word event on the main thread (ms, %zu words):\n", lags.size());
    std::printf("  median %.2f  p95 %.2f  max %.2f\n", percentile(lags, 0.5), percentile(lags, 0.95),
                percentile(lags, 1.0));
    std::printf("\nRSS while reading aloud, every 5 s (KB):");
    for (qint64 kb : rss)
        std::printf(" %lld", qlonglong(kb));
    std::printf("\n  growth over the last 50 s: %lld KB\n", qlonglong(rss.back() - rss[1]));
    std::fflush(stdout);

    std::printf("\nSynthesis alone of %.0f minutes of speech, RSS every 5 minutes of audio:\n",
                minutes);
    std::fflush(stdout);
    QProcess synth;
    synth.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    synth.start(app.applicationFilePath(),
                {QStringLiteral("--synthesis-only"), QString::number(minutes)});
    QElapsedTimer synthClock;
    synthClock.start();
    synth.waitForFinished(-1);
    std::printf("  (%.0f s of computing for %.0f minutes of speech: %.0fx real time)\n",
                synthClock.elapsed() / 1000.0, minutes, minutes * 60000.0 / synthClock.elapsed());
    return 0;
}
