#pragma once

#include <QByteArrayView>
#include <QChar>

#include <functional>

// GB18030 at the speed of a table lookup for what novels are made of: ASCII
// and two-byte characters, the table taken from QStringDecoder's own
// results. A line with anything else (a four-byte character, a broken one)
// is decoded whole by QStringDecoder, from its start: a line feed is never
// part of a character, so the result is the same as QStringDecoder's for the
// whole text.
namespace Gb18030Decoder {

struct Result {
    bool ok = false;             // false only when the table could not be made
    bool hasBreaksOrNul = false; // a "\r" or NUL in it
    QChar *end = nullptr;
};

// Decodes bytes to out, which has room for one character per byte, a slice
// at a time; `consumed` is told of each slice of the input once it is done.
Result decode(QByteArrayView bytes, QChar *out,
              const std::function<void(QByteArrayView)> &consumed);

} // namespace Gb18030Decoder
