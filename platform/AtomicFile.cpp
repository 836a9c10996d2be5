#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace AtomicFile {
namespace {

bool appendTail(QSaveFile &to, const QString &sourcePath, qint64 offset)
{
    QFile from(sourcePath);
    if (!from.open(QIODevice::ReadOnly) || !from.seek(offset))
        return false;
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = from.read(buffer, sizeof buffer);
        if (n <= 0)
            return n == 0;
        if (to.write(buffer, n) != n)
            return false;
    }
}

} // namespace

bool replace(const QString &path, QByteArrayView head, qint64 keepFrom)
{
    QFileInfo info(path);
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
        info = QFileInfo(info.canonicalFilePath());
    const QString target = info.absoluteFilePath();

    // Not committed, the temporary file goes with it.
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(head.data(), head.size()) != head.size())
        return false;
    if (keepFrom >= 0 && info.exists() && !appendTail(file, target, keepFrom))
        return false;
    // A disk that fills up part-way through one write passes for a short
    // write, which Qt does not count as a failure; the length on disk tells.
    if (!file.flush() || file.size() != file.pos())
        return false;
    if (!file.commit())
        return false;
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(QFile::encodeName(info.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace AtomicFile
