#pragma once

#include <QByteArray>
#include <QString>

// The text encodings of settings files: GB18030 (a superset of code page
// 936) or UTF-8, with or without a byte-order mark.
namespace ProfileEncoding {

enum class Encoding { Gb18030, Utf8 };

inline const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// How a file with these bytes is read.
Encoding detect(QByteArrayView bytes);

QString decode(Encoding encoding, QByteArrayView bytes);
QByteArray encode(Encoding encoding, const QString &text);

// A comment line that makes a file read in `encoding` whatever else it holds.
QByteArray note(Encoding encoding);

// Longest prefix of at most maxBytes that does not end inside a character.
qsizetype characterBoundary(Encoding encoding, QByteArrayView bytes, qsizetype maxBytes);

} // namespace ProfileEncoding
