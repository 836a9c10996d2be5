#pragma once

#include <QString>

// Where config.ini lives: beside the program when that file or folder can be
// written, otherwise in the user's configuration folder, so that settings
// survive an install into a read-only prefix.
QString chooseConfigPath(const QString &programFolder, const QString &userConfigFolder);

// chooseConfigPath for this process: the executable's folder and
// $XDG_CONFIG_HOME/talvero.
QString defaultConfigPath();
