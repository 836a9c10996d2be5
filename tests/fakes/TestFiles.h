#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes to path (creating folders); fails the test on error.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
QByteArray gb18030(const QString &text);
