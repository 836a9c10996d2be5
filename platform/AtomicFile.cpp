#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {
namespace {

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool copyFrom(int to, const QByteArray &sourcePath, qint64 offset)
{
    const int from = ::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC);
    if (from < 0)
        return false;
    bool ok = ::lseek(from, off_t(offset), SEEK_SET) == off_t(offset);
    char buffer[1 << 16];
    while (ok) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = writeAll(to, buffer, n);
    }
    ::close(from);
    return ok;
}

mode_t modeForNewFile()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Removes the temporary file unless it was renamed into place.
struct Temporary {
    QByteArray path;
    int fd = -1;
    bool placed = false;
    ~Temporary()
    {
        if (fd >= 0)
            ::close(fd);
        if (!placed)
            ::unlink(path.constData());
    }
};

} // namespace

bool replace(const QString &path, QByteArrayView head, qint64 keepFrom)
{
    QFileInfo info(path);
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
        info = QFileInfo(info.canonicalFilePath());
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());

    Temporary temp;
    temp.path = folder + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";
    temp.fd = ::mkostemp(temp.path.data(), O_CLOEXEC);
    if (temp.fd < 0) {
        temp.placed = true; // nothing was created
        return false;
    }
    struct stat old = {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    ::fchmod(temp.fd, exists ? (old.st_mode & 07777) : modeForNewFile());

    if (!writeAll(temp.fd, head.data(), head.size()))
        return false;
    if (exists && keepFrom >= 0 && !copyFrom(temp.fd, target, keepFrom))
        return false;
    if (::fsync(temp.fd) != 0)
        return false;
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0)
        return false;
    if (::rename(temp.path.constData(), target.constData()) != 0)
        return false;
    temp.placed = true;
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace AtomicFile
