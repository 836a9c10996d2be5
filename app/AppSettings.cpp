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
    assignWholeNumber(ReadIniString(kSection, QStringLiteral("PlayRate"), QStringLiteral("7"), path),
                      s.PlayRate);
    assignWholeNumber(ReadIniString(kSection, QStringLiteral("AutoRate"), QStringLiteral("3"), path),
                      s.AutoRate);
    assignWholeNumber(
        ReadIniString(kSection, QStringLiteral("FontSizes"), QStringLiteral("10"), path),
        s.FontSizes);
    assignWholeNumber(
        ReadIniString(kSection, QStringLiteral("curLanguage"), QStringLiteral("0"), path),
        s.curLanguage);
}

void WriteSetup(const QString &configPath, const SetupValues &v)
{
    const auto write = [&](const char *key, const QString &value) {
        // A failed write is not reported; the other keys are still tried.
        Profile::WritePrivateProfileString(kSection, QString::fromLatin1(key), value, configPath);
    };
    write("ReadFileName", v.ReadFileName);
    write("PlayPos", QString::number(v.caret));
    write("PlayRate", QString::number(v.PlayRate));
    write("AutoRate", QString::number(v.AutoRate));
    write("FontSizes", QString::number(v.FontSizes));
    write("curLanguage", QString::number(v.listIndex));
}

} // namespace modMain
