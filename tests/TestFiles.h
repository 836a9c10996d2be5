#pragma once
// Scratch files for the tests: written whole, read back, GB18030 text.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

inline QByteArray encoded(const char *encoding, const QString &text)
{
    return QStringEncoder(encoding).encode(text);
}
inline QByteArray gb18030(const QString &text)
{
    return encoded("GB18030", text);
}
