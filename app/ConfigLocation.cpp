#include "ConfigLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool writableFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

bool isInstalledLayout(const QString &programFolder)
{
    // <prefix>/bin/talvero beside <prefix>/share/applications/<id>.desktop.
    return QFileInfo::exists(programFolder
                             + QStringLiteral("/../share/applications/" TALVERO_APP_ID ".desktop"));
}

} // namespace

QString chooseConfigPath(const QString &programFolder, const QString &userConfigFolder)
{
    // Plain concatenation; a folder ending in a separator gives two in a row,
    // which still names the same file.
    const QString besideProgram = programFolder + QStringLiteral("/config.ini");
    const QFileInfo file(besideProgram);
    // An installed program never writes its own folder, even when it could
    // (run as root, say); a file already there is still used.
    const bool mayCreate = writableFolder(programFolder) && !isInstalledLayout(programFolder);
    if (file.exists() ? (file.isFile() && file.isWritable() && writableFolder(programFolder))
                      : mayCreate) {
        return besideProgram;
    }
    return userConfigFolder + QStringLiteral("/config.ini");
}

QString defaultConfigPath()
{
    const QString userFolder = QStandardPaths::writableLocation(
                                   QStandardPaths::GenericConfigLocation)
                               + QStringLiteral("/talvero");
    const QString path = chooseConfigPath(QCoreApplication::applicationDirPath(), userFolder);
    if (path.startsWith(userFolder))
        QDir().mkpath(userFolder);
    return path;
}
