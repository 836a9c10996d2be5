// Any bytes as config.ini: reading never fails, and a write is read back
// as written while every other entry keeps its value.
#include "platform/ProfileFile.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {
const QStringList kKeys = {"ReadFileName", "PlayPos",     "PlayRate", "AutoRate",
                           "FontSizes",    "curLanguage", "x"};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList before;
    for (const QString &key : kKeys)
        before << Profile::lookup(bytes, "system", key, "<none>");

    const QString value = QStringLiteral("/小说/%1.txt").arg(size);
    const QByteArray written = Profile::withValue(bytes, "SYSTEM", "playpos", value);
    if (Profile::lookup(written, "system", "PlayPos", "<none>") != value)
        std::abort();
    for (qsizetype i = 0; i < kKeys.size(); ++i) {
        if (kKeys[i] == QLatin1String("PlayPos"))
            continue;
        if (Profile::lookup(written, "system", kKeys[i], "<none>") != before[i])
            std::abort();
    }
    return 0;
}
