#pragma once

#include <QString>
#include <QtGlobal>

// The settings kept between runs, plus the two reading-mode flags that live
// beside them but are never stored.
struct AppSettingsRecord {
    QString ConfigPath;
    QString ReadFileName;
    qint32 PlayPos = 0;
    qint16 PlayRate = 0;
    qint16 AutoRate = 0;
    qint16 FontSizes = 0;
    qint16 curLanguage = 0;
};

namespace modMain {

inline const QString kSection = QStringLiteral("system");

// Value of section/key in fileName, or defaultValue when the file, the
// section or the key is missing. Values arrive whole up to the longest path
// (Profile::kMaxValueBytes).
QString ReadIniString(const QString &section, const QString &keyName, const QString &defaultValue,
                      const QString &fileName);

// Fills the record from its ConfigPath; a value that does not convert leaves
// its field as it was.
void LoadSettings(AppSettingsRecord &settings);

// The values written at exit, in their order in a new file.
struct SetupValues {
    QString ReadFileName;
    qint32 caret = 0;
    qint16 PlayRate = 0;
    qint16 AutoRate = 0;
    qint16 FontSizes = 0;
    int listIndex = -1;
};
// False when the file could not be written; it is then left as it was.
bool WriteSetup(const QString &configPath, const SetupValues &values);

} // namespace modMain
