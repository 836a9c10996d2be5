// Opening big novels: our decoder and our view against iconv (the floor:
// decoding alone, in another process), the longest pause of the window
// while a document goes in and reading starts at once, caret moves, and
// peak memory. Each case runs in a process of its own.
//
//   bench_load [folder]   generates the novels there (default /tmp)
//
// On a desktop (DISPLAY set) the view is shown on it; otherwise offscreen.
#include "app/ReaderState.h"
#include "platform/RichTextView.h"
#include "platform/Shell.h"
#include "platform/TextDecoding.h"
#include "speech/SpeechReading.h"
#include "speech/Voice.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Chinese prose: paragraphs of 40 to 400 of the 3500 most common
// characters, the first ones far more often; or one line without a break.
void generate(const QString &path, const char *encoding, qint64 bytes, bool oneLine)
{
    if (QFileInfo(path).size() >= bytes)
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    QStringEncoder encoder(encoding);
    QRandomGenerator random(20261206);
    const QString punctuation = QStringLiteral("，，，。。！？；：、");
    for (qint64 written = 0, chapter = 1; written < bytes;) {
        QString block = oneLine ? QString() : QStringLiteral("第%1章\n").arg(chapter++);
        for (int p = 0; p < 40; ++p) {
            const int length = 40 + int(random.bounded(360));
            for (int i = 0; i < length; ++i) {
                const double u = random.generateDouble();
                block += i % 9 == 8 ? punctuation[random.bounded(punctuation.size())]
                                    : QChar(char16_t(0x4E00 + int(3500 * u * u * u)));
            }
            block += oneLine ? QStringLiteral("。") : QStringLiteral("。\n");
        }
        const QByteArray data = encoder.encode(block);
        file.write(data);
        written += data.size();
    }
}

// The window's longest pause, from a 2 ms timer.
struct FreezeMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    FreezeMeter()
    {
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = std::max(longest, clock.nsecsElapsed() - last);
            last = clock.nsecsElapsed();
        });
        clock.start();
        timer.start();
    }
    void reset() { longest = 0, last = clock.nsecsElapsed(); }
};

// A voice that only counts what it is asked to speak.
struct SilentVoice final : Voice {
    QList<VoiceToken> GetVoices() const override { return {}; }
    bool setVoice(const VoiceToken &) override { return true; }
    VoiceToken voice() const override { return {}; }
    bool setRate(int) override { return true; }
    int Rate() const override { return 0; }
    bool setVolume(int) override { return true; }
    int Volume() const override { return 100; }
    bool speakFrom(const QString &text, qsizetype from, int) override
    {
        spoken = std::max(spoken, text.size() - from);
        return true;
    }
    bool IsUISupported(const QString &) const override { return false; }
    qsizetype spoken = 0;
};

// The longest single event the window handled: one step of work.
struct TimedApplication : QApplication {
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        QElapsedTimer clock;
        clock.start();
        const bool handled = QApplication::notify(receiver, event);
        if (++depth == 1 && measuring)
            longestStep = std::max(longestStep, clock.nsecsElapsed());
        --depth;
        return handled;
    }
    int depth = 0;
    bool measuring = false;
    qint64 longestStep = 0;
};

struct NoShell final : Shell {
    bool openUrl(const QUrl &) override { return false; }
};

int runDecoder(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    QString text;
    TextDecoding::decodeFile(path, text);
    std::printf("ms=%.1f chars=%lld peak=%.0f\n", clock.nsecsElapsed() / 1e6,
                qlonglong(text.size()), peakMb());
    return 0;
}

int runView(const QString &path, qint32 caret)
{
    RichTextView view;
    view.resize(714, 497);
    view.show();
    // Finding the CJK font is a one-time cost of the process's first paint.
    view.setText(QStringLiteral("预热。"));
    view.repaint();
    QApplication::processEvents();
    ReaderState state;
    NoShell shell;
    SilentVoice voice;
    SpeechReading speech(state, view, shell);
    speech.setVoice(&voice);
    FreezeMeter freeze;
    freeze.reset();
    auto *app = static_cast<TimedApplication *>(qApp);
    app->measuring = true;
    QElapsedTimer clock;
    clock.start();
    // Reopening a novel at its saved caret, and reading aloud at once.
    view.LoadFile(path);
    view.setSelStart(caret);
    state.ReadingFlag = 1;
    state.AppSettings.PlayPos = view.SelStart() + 1;
    speech.PlayFile();
    const double afterCallsMs = clock.nsecsElapsed() / 1e6;
    while (view.isDecoding())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    view.viewport()->repaint();
    const double firstPageMs = clock.nsecsElapsed() / 1e6;
    while (view.isLoading())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double wholeMs = clock.nsecsElapsed() / 1e6;
    const double freezeMs = freeze.longest / 1e6;
    app->measuring = false;
    // Caret moves with scroll-into-view, as while reading aloud.
    QRandomGenerator random(7);
    double worstMove = 0;
    for (int i = 0; i < 300; ++i) {
        QElapsedTimer one;
        one.start();
        view.setSelStart(qint32(random.bounded(view.Text().size())));
        worstMove = std::max(worstMove, one.nsecsElapsed() / 1e6);
    }
    std::printf("ms=%.1f calls=%.1f whole=%.1f freeze=%.1f step=%.1f worstmove=%.2f spoken=%lld "
                "peak=%.0f\n",
                firstPageMs, afterCallsMs, wholeMs, freezeMs, app->longestStep / 1e6, worstMove,
                qlonglong(voice.spoken), peakMb());
    return 0;
}

double iconvMs(const QString &path, const char *encoding)
{
    QProcess iconv;
    iconv.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    iconv.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QString::fromLatin1(encoding),
                                          QStringLiteral("-t"), QStringLiteral("UTF-16LE"), path});
    iconv.waitForFinished(-1);
    return clock.nsecsElapsed() / 1e6;
}

QMap<QString, double> runChild(const QStringList &arguments)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    QMap<QString, double> values;
    for (const QString &pair : QString::fromLocal8Bit(child.readAllStandardOutput()).split(u' ')) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq > 0)
            values[pair.left(eq)] = pair.mid(eq + 1).toDouble();
    }
    return values;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--decoder"))
        return runDecoder(args[2]);
    if (args.size() == 4 && args[1] == QLatin1String("--view"))
        return runView(args[2], args[3].toInt());

    const QString folder = args.size() > 1 ? args[1] : QDir::tempPath();
    struct Case {
        const char *name;
        const char *encoding;
        qint64 bytes;
        bool oneLine;
    };
    const Case cases[] = {{"gb18030-100MB", "GB18030", 100LL << 20, false},
                          {"utf8-100MB", "UTF-8", 100LL << 20, false},
                          {"gb18030-10MB", "GB18030", 10LL << 20, false},
                          {"line-1MiB", "UTF-8", 1LL << 20, true},
                          {"line-10MiB", "UTF-8", 10LL << 20, true}};
    std::printf("%-14s %7s %7s %6s %8s %6s %8s %7s %6s %6s %8s %6s\n", "file", "iconv", "decode",
                "/iconv", "1st page", "/iconv", "whole-1st", "freeze", "step", "move", "peak MB",
                "/file");
    for (const Case &c : cases) {
        const QString path = folder + QStringLiteral("/talvero-bench-v3-%1.txt").arg(c.name);
        generate(path, c.encoding, c.bytes, c.oneLine);
        const double fileMb = QFileInfo(path).size() / 1048576.0;
        iconvMs(path, c.encoding); // warm the page cache
        double floor = 1e9, decode = 1e9;
        for (int i = 0; i < 3; ++i) { // best of three, alternating
            floor = std::min(floor, iconvMs(path, c.encoding));
            decode = std::min(decode, runChild({"--decoder", path}).value("ms"));
        }
        const qint64 chars = qint64(runChild({"--decoder", path}).value("chars"));
        const auto view = runChild({"--view", path, QString::number(chars * 9 / 10)});
        std::printf("%-14s %7.0f %7.0f %6.2f %8.0f %6.2f %8.0f %7.1f %6.1f %6.2f %8.0f %6.2f\n",
                    c.name, floor, decode, decode / floor, view.value("ms"),
                    view.value("ms") / floor, view.value("whole") - view.value("ms"),
                    view.value("freeze"), view.value("step"), view.value("worstmove"),
                    view.value("peak"), view.value("peak") / fileMb);
        std::printf("    load and start of reading returned after %.1f ms; %s\n",
                    view.value("calls"),
                    view.value("spoken") > 0 ? "reading began once the text was there"
                                             : "nothing was read");
        std::fflush(stdout);
    }
    std::printf("(times in ms; freeze: the window's longest pause from the load on; step: its "
                "longest single event; move: the slowest of 300 caret moves)\n");
    return 0;
}
