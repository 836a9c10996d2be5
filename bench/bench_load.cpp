// Opening big novels: our view against the floor (reading and decoding the
// file) and against a plain QPlainTextEdit::setPlainText.
//
//   bench_load [folder]        generates the novels there (default /tmp) and
//                              prints the figures; each case runs in a
//                              process of its own so peak memory is its own.
#include "platform/RichTextView.h"
#include "platform/TextDecoding.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

qint64 peakRssBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// Chinese novel text: paragraphs of 40 to 400 characters from the 3500
// most common Han characters, the first ones far more often (as in real
// prose), with Chinese punctuation.
void generate(const QString &path, const char *encoding, qint64 bytes)
{
    if (QFileInfo(path).size() >= bytes)
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    QStringEncoder encoder(encoding);
    QRandomGenerator random(20261206);
    const QString punctuation = QStringLiteral("，，，。。！？；：、");
    qint64 written = 0;
    int chapter = 1;
    while (written < bytes) {
        QString block = QStringLiteral("第%1章\n").arg(chapter++);
        for (int p = 0; p < 40; ++p) {
            block += QStringLiteral("　　");
            const int length = 40 + int(random.bounded(360));
            for (int i = 0; i < length; ++i) {
                if (i % 9 == 8)
                    block += punctuation[random.bounded(punctuation.size())];
                else {
                    const double u = random.generateDouble();
                    block += QChar(char16_t(0x4E00 + int(3500 * u * u * u)));
                }
            }
            block += QStringLiteral("。\n");
        }
        const QByteArray data = encoder.encode(block);
        file.write(data);
        written += data.size();
    }
}

struct Paints : QObject {
    QElapsedTimer *clock = nullptr;
    qint64 firstPaintNs = -1;
    bool armed = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (armed && event->type() == QEvent::Paint && firstPaintNs < 0)
            firstPaintNs = clock->nsecsElapsed();
        return false;
    }
};

// Longest pause of the event loop while it runs, from a 2 ms timer.
struct FreezeMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    FreezeMeter()
    {
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        clock.start();
        timer.start();
    }
};

int runFloor(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QString text;
    TextDecoding::decodeDevice(file, text);
    std::printf("ms=%.1f chars=%lld peak=%lld\n", clock.nsecsElapsed() / 1e6,
                qlonglong(text.size()), qlonglong(peakRssBytes()));
    return 0;
}

int runPlain(const QString &path)
{
    QPlainTextEdit edit;
    edit.resize(714, 497);
    edit.show();
    QApplication::processEvents();
    Paints paints;
    QElapsedTimer clock;
    paints.clock = &clock;
    edit.viewport()->installEventFilter(&paints);
    clock.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QString text;
    TextDecoding::decodeDevice(file, text);
    edit.setUndoRedoEnabled(false);
    edit.setPlainText(text);
    QTextCursor cursor(edit.document());
    cursor.setPosition(int(text.size() * 9 / 10));
    edit.setTextCursor(cursor);
    edit.ensureCursorVisible();
    paints.armed = true;
    edit.viewport()->update();
    while (paints.firstPaintNs < 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("ms=%.1f peak=%lld\n", paints.firstPaintNs / 1e6, qlonglong(peakRssBytes()));
    return 0;
}

int runOurs(const QString &path, qint32 caret)
{
    RichTextView view;
    view.resize(714, 497);
    view.show();
    QApplication::processEvents();
    Paints paints;
    QElapsedTimer clock;
    paints.clock = &clock;
    view.viewport()->installEventFilter(&paints);
    FreezeMeter freeze;
    // Draw some Chinese first: finding the CJK font is a one-time cost of
    // the first paint of the process, not of loading.
    view.setText(QStringLiteral("预热。"));
    view.repaint();
    QApplication::processEvents();

    freeze.longest = 0;
    freeze.last = freeze.clock.nsecsElapsed();
    clock.start();
    // Reopening a novel: load, then the saved caret deep inside it.
    view.LoadFile(path);
    view.setSelStart(caret);
    paints.armed = false;
    while (paints.firstPaintNs < 0) {
        // Armed once the new document (not the warm-up text) is in.
        if (!paints.armed && view.textLength() > 1000 && view.document()->characterCount() > 1) {
            paints.armed = true;
            view.viewport()->update();
        }
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double firstPaintMs = paints.firstPaintNs / 1e6;
    while (view.isLoading())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double wholeMs = clock.nsecsElapsed() / 1e6;
    const double freezeMs = freeze.longest / 1e6;
    const qint32 deep = view.SelStart();

    // Caret moves with scroll-into-view, as while reading aloud.
    QRandomGenerator random(7);
    const qint32 length = qint32(view.textLength());
    QElapsedTimer moves;
    double worstMove = 0;
    moves.start();
    const int count = 1000;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer one;
        one.start();
        view.setSelStart(qint32(random.bounded(length)));
        worstMove = std::max(worstMove, one.nsecsElapsed() / 1e6);
    }
    const double moveMs = moves.nsecsElapsed() / 1e6 / count;
    // Word-by-word steps with a repaint between them.
    QElapsedTimer steps;
    steps.start();
    qint32 at = length / 2;
    for (int i = 0; i < 200; ++i) {
        at += 3;
        view.setSelStart(at);
        QApplication::processEvents();
    }
    const double stepMs = steps.nsecsElapsed() / 1e6 / 200;
    // A new font size lays the whole document out anew.
    QElapsedTimer font;
    font.start();
    view.setFontSize(20);
    view.repaint();
    QApplication::processEvents();
    const double fontMs = font.nsecsElapsed() / 1e6;
    std::printf("ms=%.1f whole=%.1f freeze=%.1f caret=%d move=%.4f worstmove=%.3f step=%.3f font=%.1f peak=%lld\n",
                firstPaintMs, wholeMs, freezeMs, deep, moveMs, worstMove, stepMs, fontMs,
                qlonglong(peakRssBytes()));
    return 0;
}

QMap<QString, QString> runChild(const QString &self, const QString &mode, const QString &path,
                                const QString &extra = QString())
{
    QProcess child;
    QStringList arguments = {QStringLiteral("--") + mode};
    if (!path.isEmpty())
        arguments << path;
    if (!extra.isEmpty())
        arguments << extra;
    child.start(self, arguments);
    child.waitForFinished(-1);
    QMap<QString, QString> values;
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    for (const QString &pair : out.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq > 0)
            values[pair.left(eq)] = pair.mid(eq + 1);
    }
    return values;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--floor"))
        return runFloor(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("--plain"))
        return runPlain(args[2]);
    if (args.size() == 4 && args[1] == QLatin1String("--ours"))
        return runOurs(args[2], args[3].toInt());
    if (args.size() == 2 && args[1] == QLatin1String("--baseline")) {
        RichTextView view;
        view.show();
        QApplication::processEvents();
        std::printf("peak=%lld\n", qlonglong(peakRssBytes()));
        return 0;
    }

    const QString folder = args.size() > 1 ? args[1] : QDir::tempPath();
    struct Case {
        const char *name;
        const char *encoding;
        qint64 bytes;
    };
    const Case cases[] = {{"gb18030-10MB", "GB18030", 10LL << 20},
                          {"utf8-10MB", "UTF-8", 10LL << 20},
                          {"gb18030-100MB", "GB18030", 100LL << 20},
                          {"utf8-100MB", "UTF-8", 100LL << 20}};
    const double baselineMb =
        runChild(app.applicationFilePath(), "baseline", QString()).value("peak").toDouble() / 1048576.0;
    std::printf("Peak memory of an empty view (the Qt baseline): %.0f MB\n", baselineMb);
    std::printf("%-14s %9s %9s %9s %7s %7s %9s %8s %8s %9s %9s %9s\n", "file", "floor ms",
                "plain ms", "ours ms", "ours/fl", "plain/fl", "whole ms", "freeze", "move ms",
                "peak MB", "(pk-bl)/f", "plain MB");
    for (const Case &c : cases) {
        const QString path = folder + QStringLiteral("/talvero-bench-v2-%1.txt").arg(c.name);
        generate(path, c.encoding, c.bytes);
        const double fileMb = QFileInfo(path).size() / 1048576.0;
        // Warm the page cache so every case reads from memory.
        runChild(app.applicationFilePath(), "floor", path);
        const auto floor = runChild(app.applicationFilePath(), "floor", path);
        const auto plain = runChild(app.applicationFilePath(), "plain", path);
        // The saved caret: 90 % into the document.
        const QString caret = QString::number(floor.value("chars").toLongLong() * 9 / 10);
        const auto ours = runChild(app.applicationFilePath(), "ours", path, caret);
        const double floorMs = floor.value("ms").toDouble();
        const double plainMs = plain.value("ms").toDouble();
        const double oursMs = ours.value("ms").toDouble();
        const double peakMb = ours.value("peak").toDouble() / 1048576.0;
        std::printf("%-14s %9.0f %9.0f %9.0f %7.2f %7.2f %9.0f %8.1f %8.4f %9.0f %9.2f %9.0f\n",
                    c.name, floorMs, plainMs, oursMs, oursMs / floorMs, plainMs / floorMs,
                    ours.value("whole").toDouble(), ours.value("freeze").toDouble(),
                    ours.value("move").toDouble(), peakMb, (peakMb - baselineMb) / fileMb,
                    plain.value("peak").toDouble() / 1048576.0);
        std::printf("    worst caret move %s ms, word step with repaint %s ms, font size change %s ms, "
                    "caret at %s\n",
                    qPrintable(ours.value("worstmove")), qPrintable(ours.value("step")),
                    qPrintable(ours.value("font")), qPrintable(ours.value("caret")));
        std::fflush(stdout);
    }
    return 0;
}
