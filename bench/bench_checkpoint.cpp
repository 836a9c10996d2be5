// A checkpoint while reading: what it costs the window's thread (the
// values taken from a view holding a 50-million-character novel, the write
// handed to its own thread), against the write itself (GB18030 profile,
// synced to disk and renamed), as the window would wait for it if it wrote
// on its own thread.
//
//   bench_checkpoint [folder] [count]   config.ini goes there (default /tmp)
#include "app/ReadingCheckpoint.h"
#include "app/SettingsWriter.h"
#include "platform/RichTextView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void report(const char *what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double p) { return ms[size_t(p * double(ms.size() - 1))]; };
    std::printf("%-28s p50=%.3f ms p99=%.3f ms max=%.3f ms (n=%zu)\n", what, at(0.5), at(0.99),
                ms.back(), ms.size());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString(argv[1]) : QDir::tempPath();
    const int count = argc > 2 ? std::max(10, QString(argv[2]).toInt()) : 200;
    const QString path = QDir(folder).filePath(QStringLiteral("bench-checkpoint.ini"));

    RichTextView view;
    view.setText(QString(50'000'000 / 25, u'天').repeated(25));
    SettingsWriter writer(path);
    const QString name = QStringLiteral("/书/") + QString(100, u'三') + QStringLiteral(".txt");
    ReadingCheckpoint checkpoint(
        writer, [&] { return modMain::SetupValues{name, view.SelStart(), 7, 3, 10, 0}; },
        std::chrono::hours(1));
    checkpoint.setActive(true);

    std::vector<double> windowThread, write;
    QElapsedTimer clock;
    for (int i = 1; i <= count; ++i) {
        view.setSelStart(i * 997);
        clock.start();
        checkpoint.tick();
        windowThread.push_back(clock.nsecsElapsed() / 1e6);
        checkpoint.wait();
        clock.start();
        writer.write({name, i, 7, 3, 10, 0});
        write.push_back(clock.nsecsElapsed() / 1e6);
    }
    report("window thread per checkpoint", windowThread);
    report("the write itself", write);
    QFile::remove(path);
    return 0;
}
