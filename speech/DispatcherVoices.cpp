#include "DispatcherVoices.h"

namespace DispatcherVoices {
namespace {

bool isOurOwnEngine(const QString &module)
{
    return module.startsWith(QLatin1String("espeak")) || module == QLatin1String("dummy");
}

} // namespace

std::optional<QList<DispatcherClient::Voice>> list(SPDConnection *connection)
{
    QList<DispatcherClient::Voice> voices;
    QStringList modules;
    char **names = spd_list_modules(connection);
    if (!names)
        return std::nullopt;
    for (int i = 0; names[i]; ++i)
        modules << QString::fromUtf8(names[i]);
    free_spd_modules(names);
    modules.sort();
    for (const QString &module : modules) {
        if (isOurOwnEngine(module)
            || spd_set_output_module(connection, module.toUtf8().constData()) != 0)
            continue;
        if (SPDVoice **list = spd_list_synthesis_voices(connection)) {
            for (int i = 0; list[i]; ++i)
                voices.append({module, QString::fromUtf8(list[i]->name),
                               QString::fromUtf8(list[i]->language)});
            free_spd_voices(list);
        }
    }
    return voices;
}

} // namespace DispatcherVoices
