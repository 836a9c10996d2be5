#pragma once

#include "DisplayMap.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Turns the bytes of a plain-text document into the text the view shows.
//
// A byte-order mark decides; otherwise text that is valid UTF-8 is UTF-8;
// otherwise the legacy encoding is detected from the first 64 KiB, with
// GB18030 whenever the detector names a Chinese code page or is unsure.
// Every line break ("\r\n", "\n", a lone "\r") becomes one "\n", and NUL or
// undecodable bytes become U+FFFD, so offsets into the result are offsets
// into what the view holds.
//
// Big inputs are decoded in parts cut at line ends, one per core, straight
// into the result.
namespace TextDecoding {

// Encoding name for QStringDecoder ("GB18030", "BIG5", "SHIFT_JIS", ...) of
// text that is not UTF-8, from up to its first 64 KiB.
QByteArray detectLegacyEncoding(QByteArrayView head);

QString decode(QByteArrayView bytes);

// The whole file, mapped into memory rather than read where it can be,
// and the index of its lines, built as its parts are decoded. False if it
// cannot be read.
bool decodeFile(const QString &path, QString &text, DisplayMap &lines);

// Reads the device to its end and decodes it. False if reading failed.
bool decodeDevice(QIODevice &device, QString &text);

} // namespace TextDecoding
