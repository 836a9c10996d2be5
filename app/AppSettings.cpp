#include "AppSettings.h"

#include "NumberText.h"
#include "platform/ProfileFile.h"

namespace modMain {

QString ReadIniString(const QString &section, const QString &keyName, const QString &defaultValue,
                      const QString &fileName)
{
    return Profile::GetPrivateProfileString(section, keyName, defaultValue, fileName);
}

void LoadSettings(AppSettingsRecord &s)
{
    const QString &path = s.ConfigPath;
    s.ReadFileName = ReadIniString(kSection, QStringLiteral("readfilename"), QString(), path);
    assignWholeNumber(ReadIniString(kSection, QStringLiteral("PlayPos"), QStringLiteral("1"), path),
                      s.PlayPos);
    assignWholeNumber(
        ReadIniString(kSection, QStringLiteral("PlayRate"), QStringLiteral("7"), path), s.PlayRate);
    assignWholeNumber(
        ReadIniString(kSection, QStringLiteral("AutoRate"), QStringLiteral("3"), path), s.AutoRate);
    assignWholeNumber(
        ReadIniString(kSection, QStringLiteral("FontSizes"), QStringLiteral("10"), path),
        s.FontSizes);
    assignWholeNumber(
        ReadIniString(kSection, QStringLiteral("curLanguage"), QStringLiteral("0"), path),
        s.curLanguage);
}

bool WriteSetup(const QString &configPath, const SetupValues &v)
{
    // One replacement of the file for all six: a crash or a full disk
    // leaves either the old settings or the new ones, never a mixture.
    return Profile::WritePrivateProfileStrings(
        kSection,
        {{QStringLiteral("ReadFileName"), v.ReadFileName},
         {QStringLiteral("PlayPos"), QString::number(v.caret)},
         {QStringLiteral("PlayRate"), QString::number(v.PlayRate)},
         {QStringLiteral("AutoRate"), QString::number(v.AutoRate)},
         {QStringLiteral("FontSizes"), QString::number(v.FontSizes)},
         {QStringLiteral("curLanguage"), QString::number(v.listIndex)}},
        configPath);
}

} // namespace modMain
