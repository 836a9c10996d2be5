// Opening big novels in the program as users run it (the main window with
// its services, the last novel read decoded from the start) against iconv (the floor: decoding
// alone, in another process): the first page at a caret 90 % deep, the window's longest pause,
// caret moves, and peak memory less the program's own without a document. Each case runs in a
// process of its own.
//
//   bench_load [folder] [--big]   generates the novels there (default /tmp)
//
// On a desktop (DISPLAY set) the window is shown on it; otherwise offscreen.
#include "platform/Dialogs.h"
#include "platform/DocumentLoader.h"
#include "platform/RichTextView.h"
#include "platform/Shell.h"
#include "platform/TextDecoding.h"
#include "speech/Voice.h"
#include "tray/NotifyIcon.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

QElapsedTimer processClock;

double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

enum class Kind { Prose, OneLine, Poems };

// Chinese prose: paragraphs of 40 to 400 of the 3500 most common
// characters, the first ones far more often; or one line without a break;
// or short poems, each a title, an author, a stanza and a blank line (about
// 20 characters a line, millions of lines).
void generate(const QString &path, const char *encoding, qint64 bytes, Kind kind)
{
    if (QFileInfo(path).size() >= bytes)
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    QStringEncoder encoder(encoding);
    QRandomGenerator random(20261206);
    const QString punctuation = QStringLiteral("，，，。。！？；：、");
    const auto words = [&](int length) {
        QString out;
        for (int i = 0; i < length; ++i) {
            const double u = random.generateDouble();
            out += i % 9 == 8 ? punctuation[random.bounded(punctuation.size())]
                              : QChar(char16_t(0x4E00 + int(3500 * u * u * u)));
        }
        return out;
    };
    for (qint64 written = 0, chapter = 1; written < bytes;) {
        QString block;
        if (kind == Kind::Poems) {
            for (int p = 0; p < 40; ++p)
                block += words(4 + int(random.bounded(6))) + '\n' + words(3) + '\n'
                         + words(50 + int(random.bounded(30))) + "。\n\n";
        } else {
            const bool oneLine = kind == Kind::OneLine;
            block = oneLine ? QString() : QStringLiteral("第%1章\n").arg(chapter++);
            for (int p = 0; p < 40; ++p)
                block += words(40 + int(random.bounded(360))) + (oneLine ? "。" : "。\n");
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
    using Voice::Voice;
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

int runDecoder(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    QString text;
    DisplayMap lines;
    TextDecoding::decodeFile(path, text, lines);
    std::printf("ms=%.1f chars=%lld peak=%.0f\n", clock.nsecsElapsed() / 1e6,
                qlonglong(text.size()), peakMb());
    return 0;
}

// The program as users run it: the main window with its services (a
// silent voice, and no banner page fetched), reopening the novel at its
// saved caret; an empty path for the program without a document.
int runProgram(const QString &path, qint32 caret)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("config.ini"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QStringEncoder("GB18030").encode(
        path.isEmpty()
            ? QStringLiteral("[system]\n")
            : QStringLiteral("[system]\nReadFileName=%1\nPlayPos=%2\n").arg(path).arg(caret)));
    file.close();
    QtDialogs dialogs;
    DesktopShell shell;
    SystemNotifyArea notifyArea;
    MainWindowServices services;
    services.dialogs = &dialogs;
    services.shell = &shell;
    services.notifyArea = &notifyArea;
    services.createVoice = [](QObject *parent) -> Voice * { return new SilentVoice(parent); };
    services.configPath = config;
    services.endProcess = [](int status) { std::_Exit(status); };
    QElapsedTimer clock;
    clock.start();
    const double startMs = processClock.nsecsElapsed() / 1e6;
    // As the program starts: the last document decoded while the window is built.
    DocumentLoader::prefetch(path);
    frmMain window(services);
    FreezeMeter freeze;
    auto *app = static_cast<TimedApplication *>(qApp);
    app->measuring = true;
    window.Form_Load();
    window.show();
    RichTextView *view = window.findChild<RichTextView *>(QStringLiteral("rtb"));
    const double afterCallsMs = clock.nsecsElapsed() / 1e6;
    while (view->isDecoding())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    view->viewport()->repaint();
    const double firstPageMs = clock.nsecsElapsed() / 1e6;
    // Ten seconds in the window, as the peak counts them.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double freezeMs = freeze.longest / 1e6;
    app->measuring = false;
    // Caret moves with scroll-into-view, as while reading aloud, and pages.
    // Each followed by the repaint it calls for, timed apart.
    // The first one after the idle seconds apart: it may wait for pages the
    // system took back meanwhile (code, fonts), which is not the view's cost.
    QRandomGenerator random(7);
    double firstMove = 0, worstMove = 0, worstPaint = 0;
    for (int i = 0; i < 300 && !view->Text().isEmpty(); ++i) {
        QElapsedTimer one;
        one.start();
        if (i % 3 == 0)
            view->setSelStart(qint32(random.bounded(view->Text().size())));
        else
            view->scroll(i % 3 == 1 ? RichTextView::SB_PAGEDOWN : RichTextView::SB_LINEDOWN);
        const double moveMs = one.nsecsElapsed() / 1e6;
        if (i == 0)
            firstMove = moveMs;
        else
            worstMove = std::max(worstMove, moveMs);
        one.restart();
        view->viewport()->repaint();
        worstPaint = std::max(worstPaint, one.nsecsElapsed() / 1e6);
    }
    std::printf("ms=%.1f start=%.1f calls=%.1f freeze=%.1f step=%.1f firstmove=%.2f "
                "worstmove=%.2f worstpaint=%.2f peak=%.0f\n",
                firstPageMs, firstPageMs + startMs, afterCallsMs, freezeMs, app->longestStep / 1e6,
                firstMove, worstMove, worstPaint, peakMb());
    std::fflush(stdout);
    std::_Exit(0); // as the program ends
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
    processClock.start();
    TimedApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--decoder"))
        return runDecoder(args[2]);
    if (args.size() == 4 && args[1] == QLatin1String("--program"))
        return runProgram(args[2], args[3].toInt());

    // bench_load [folder] [--big]: --big adds a 1000 MB novel.
    const bool big = args.contains(QStringLiteral("--big"));
    const QString folder = args.size() > 1 && !args[1].startsWith(u'-') ? args[1]
                                                                        : QDir::tempPath();
    struct Case {
        const char *name;
        const char *encoding;
        qint64 bytes;
        Kind kind;
    };
    QList<Case> cases = {{"gb18030-100MB", "GB18030", 100LL << 20, Kind::Prose},
                         {"poems-100MB", "GB18030", 100LL << 20, Kind::Poems},
                         {"utf8-100MB", "UTF-8", 100LL << 20, Kind::Prose},
                         {"gb18030-10MB", "GB18030", 10LL << 20, Kind::Prose},
                         {"line-1MiB", "UTF-8", 1LL << 20, Kind::OneLine},
                         {"line-10MiB", "UTF-8", 10LL << 20, Kind::OneLine}};
    if (big)
        cases.append({"gb18030-1000MB", "GB18030", 1000LL << 20, Kind::Prose});
    const double empty = runChild({"--program", QString(), "0"}).value("peak");
    std::printf("the program without a document: peak %.0f MB\n", empty);
    std::printf("%-14s %7s %7s %6s %8s %6s %8s %6s %7s %6s %6s %6s %6s %8s %6s\n", "file", "iconv",
                "decode", "/iconv", "1st page", "/iconv", "from run", "/iconv", "freeze", "step",
                "1st mv", "move", "paint", "+MB", "/file");
    for (const Case &c : cases) {
        const QString path = folder + QStringLiteral("/talvero-bench-v3-%1.txt").arg(c.name);
        generate(path, c.encoding, c.bytes, c.kind);
        const double fileMb = QFileInfo(path).size() / 1048576.0;
        iconvMs(path, c.encoding); // warm the page cache
        double floor = 1e9, decode = 1e9;
        for (int i = 0; i < 3; ++i) { // best of three, alternating
            floor = std::min(floor, iconvMs(path, c.encoding));
            decode = std::min(decode, runChild({"--decoder", path}).value("ms"));
        }
        const qint64 chars = qint64(runChild({"--decoder", path}).value("chars"));
        const auto run = runChild({"--program", path, QString::number(chars * 9 / 10)});
        const double added = run.value("peak") - empty;
        std::printf("%-14s %7.0f %7.0f %6.2f %8.0f %6.2f %8.0f %6.2f %7.1f %6.1f %6.2f %6.2f %6.2f "
                    "%8.0f %6.2f\n",
                    c.name, floor, decode, decode / floor, run.value("ms"), run.value("ms") / floor,
                    run.value("start"), run.value("start") / floor, run.value("freeze"),
                    run.value("step"), run.value("firstmove"), run.value("worstmove"),
                    run.value("worstpaint"), added, added / fileMb);
        std::fflush(stdout);
    }
    std::printf(
        "(times in ms; 1st page: from building the window, the novel named in its settings, to "
        "its page at a caret 90 %% deep; from run: the same from the process's start; "
        "freeze: the window's longest pause, step: its longest single event, both over 10 s "
        "from building the window; 1st mv: the first caret move after those 10 s; move: the "
        "slowest of the 299 caret moves and scrolls after it, paint: of all 300 repaints; +MB: "
        "peak resident memory less the program's without a "
        "document)\n");
    return 0;
}
