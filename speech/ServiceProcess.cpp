#include "ServiceProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace ServiceProcess {
namespace {

bool running(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(") ");
    return end >= 0 && line.mid(end + 2, 1) != "Z"; // a zombie has ended too
}

} // namespace

qint64 serving(int socket)
{
    sockaddr_un address{};
    socklen_t size = sizeof address;
    if (::getpeername(socket, reinterpret_cast<sockaddr *>(&address), &size) != 0
        || address.sun_family != AF_UNIX)
        return 0;
    const QFileInfo path(QFile::decodeName(address.sun_path));
    QFile file(path.dir().filePath(QStringLiteral("pid/speech-dispatcher.pid")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const qint64 pid = file.readAll().trimmed().toLongLong();
    return pid > 0 && running(pid) ? pid : 0;
}

bool gone(int socket, qint64 pid)
{
    // libspeechd closes the socket itself once it reads the end of it.
    pollfd fd{socket, POLLRDHUP, 0};
    if (::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)))
        return true;
    return pid > 0 && !running(pid);
}

} // namespace ServiceProcess
