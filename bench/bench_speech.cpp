// Reading aloud: how soon the voice starts, how fast it stops, how late the
// caret's word events are, whether the sound has gaps on a busy machine,
// whether the idle engine sleeps and whether memory stays flat. Run it on a
// desktop with a sound server, for example:
//
//   tests/e2e/desktop-session.sh build/bench/bench_speech [seconds]
//
// `seconds`: how long each reading lasts (default 20).
#include "speech/EspeakEngine.h"
#include "speech/EspeakVoice.h"
#include "speech/SpeechProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
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

qint64 statusField(const QString &file, const QByteArray &field)
{
    QFile status(file);
    status.open(QIODevice::ReadOnly);
    qint64 sum = 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            sum += line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toLongLong();
    }
    return sum;
}

qint64 contextSwitches()
{
    qint64 total = 0;
    for (const QString &task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        total += statusField(QStringLiteral("/proc/self/task/%1/status").arg(task),
                             "voluntary_ctxt")
                 + statusField(QStringLiteral("/proc/self/task/%1/status").arg(task),
                               "nonvoluntary_ctxt");
    return total;
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
            const double u = random.generateDouble();
            text += i % 9 == 8 ? punctuation[random.bounded(punctuation.size())]
                               : QChar(char16_t(0x4E00 + int(3500 * u * u * u)));
        }
        text += QStringLiteral("。\n");
    }
    return text;
}

struct Probe : SpeechProbe {
    void firstSampleHanded(bool throughServer) override
    {
        std::lock_guard lock(mutex);
        firstNs = nowNs();
        server = server || throughServer;
    }
    void silenced() override
    {
        std::lock_guard lock(mutex);
        silencedNs = nowNs();
    }
    void gap() override
    {
        std::lock_guard lock(mutex);
        ++gaps;
    }
    std::int64_t first()
    {
        std::lock_guard lock(mutex);
        return firstNs;
    }
    std::int64_t silence()
    {
        std::lock_guard lock(mutex);
        return silencedNs;
    }
    std::mutex mutex;
    std::int64_t firstNs = 0;
    std::int64_t silencedNs = 0;
    bool server = false;
    int gaps = 0;
};

template <typename Condition>
void waitFor(Condition done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000)
        QThread::usleep(100);
}

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, QString(argv[1]).toInt()) : 20;
    std::vector<double> lags;
    QObject receiver;
    std::uint64_t current = 0;
    auto engine = EspeakEngine::start([&](std::uint64_t session, qint32 word, std::int64_t heardAtNs) {
        QMetaObject::invokeMethod(&receiver, [&, session, word, heardAtNs] {
            if (session == current && word != AudioPlayer::kEndOfText)
                lags.push_back((nowNs() - heardAtNs) / 1e6);
        });
    });
    if (!engine) {
        std::printf("eSpeak NG could not start\n");
        return 1;
    }
    Probe probe;
    engine->setProbe(&probe);
    const QString document = novel(50'000'000); // 100 MB as GB18030
    const auto read = [&](const QString &text, qsizetype from) {
        current = engine->purge();
        current = engine->enqueue(
            {text, from, QStringLiteral("sit/cmn"), EspeakVoice::wordsPerMinute(7)});
    };

    std::vector<double> shortStart, longStart, stop;
    for (int i = 0; i < 10; ++i) {
        for (auto *latencies : {&shortStart, &longStart}) {
            current = engine->purge();
            pump(100);
            const std::int64_t start = nowNs();
            if (latencies == &shortStart)
                read(document.left(100), 0);
            else
                read(document, document.size() / 10);
            waitFor([&] { return probe.first() >= start; });
            latencies->push_back((probe.first() - start) / 1e6);
            pump(500);
            const std::int64_t stopAt = nowNs();
            current = engine->purge();
            waitFor([&] { return probe.silence() >= stopAt; });
            stop.push_back((probe.silence() - stopAt) / 1e6);
        }
    }

    // Reading with the machine idle, then with two busy processes per core.
    read(document, 5000);
    pump(seconds * 1000);
    const int quietGaps = probe.gaps;
    const double quietLag = percentile(lags, 0.95);
    const qint64 rssBefore = statusField(QStringLiteral("/proc/self/status"), "VmRSS");
    std::vector<QProcess *> hogs;
    for (int i = 0; i < 2 * QThread::idealThreadCount(); ++i) {
        hogs.push_back(new QProcess(&app));
        hogs.back()->start(QStringLiteral("sh"),
                           {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
    }
    lags.clear();
    read(document, 500000);
    pump(seconds * 1000);
    const int busyGaps = probe.gaps - quietGaps;
    for (QProcess *hog : hogs)
        hog->kill();
    const qint64 rssAfter = statusField(QStringLiteral("/proc/self/status"), "VmRSS");
    current = engine->purge();
    pump(1000);
    const qint64 switches = contextSwitches();
    QThread::sleep(5);
    const double idleWakeups = (contextSwitches() - switches) / 5.0;

    std::printf("Audio output: %s\n", probe.server ? "the sound server" : "the silent clock");
    std::printf("Speak to first sample (ms, 10 runs):  100 characters median %.2f p95 %.2f;"
                "  rest of 100 MB median %.2f p95 %.2f\n",
                percentile(shortStart, 0.5), percentile(shortStart, 0.95),
                percentile(longStart, 0.5), percentile(longStart, 0.95));
    std::printf("Purge to silence (ms, 20 runs): median %.2f max %.2f\n", percentile(stop, 0.5),
                percentile(stop, 1.0));
    std::printf(
        "Word heard to Word event (ms, p95): idle machine %.1f, busy machine %.1f (max %.1f)\n",
        quietLag, percentile(lags, 0.95), percentile(lags, 1.0));
    std::printf("Gaps in the sound over %d s: idle machine %d, %d busy processes on %d cores %d\n",
                seconds, quietGaps, int(hogs.size()), QThread::idealThreadCount(), busyGaps);
    std::printf("RSS: %lld KB after %d s of reading, %lld KB after %d more\n", rssBefore, seconds,
                rssAfter, seconds);
    std::printf("Wake-ups a second of the whole process once reading stopped: %.1f\n", idleWakeups);
    engine->setProbe(nullptr);
    return 0;
}
