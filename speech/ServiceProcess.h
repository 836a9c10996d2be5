#pragma once

#include <QtGlobal>

// Whether the speech service at the other end of a connection still runs.
// Its hang-up alone does not tell: a module that the service started keeps
// the socket open when the service itself is killed.
namespace ServiceProcess {

// The service's process, from the pid file beside its socket; 0 when
// unknown (another kind of address, no such file, not running).
qint64 serving(int socket);
// The connection was hung up, or the process (if known) has ended.
bool gone(int socket, qint64 pid);

} // namespace ServiceProcess
