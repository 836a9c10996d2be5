#pragma once

#include <QByteArrayView>
#include <QString>

// Replaces a file only by a complete new one: the content goes to a
// temporary file in the same folder, is synced to disk and renamed over the
// old file. On any failure (no space, no permission, folder gone) the
// temporary file is removed and the old file keeps every byte.
namespace AtomicFile {

// New content: head, followed by the old file's bytes from keepFrom on
// (none when keepFrom is negative). A symbolic link is kept and its target
// replaced; the old file's permissions are kept.
bool replace(const QString &path, QByteArrayView head, qint64 keepFrom = -1);

} // namespace AtomicFile
