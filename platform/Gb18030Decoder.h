#pragma once

#include <QByteArrayView>
#include <QChar>

#include <functional>

// GB18030 through the C library's decoder, about twice as fast as the one
// behind QStringDecoder. That one stays the reference: the C library maps a
// few codes to standard characters that it maps to private-use ones, and
// refuses a few it takes, so a result that could differ is refused here and
// the caller decodes with QStringDecoder instead.
namespace Gb18030Decoder {

struct Result {
    bool ok = false;             // decoded as QStringDecoder would
    bool hasBreaksOrNul = false; // a "\r" or NUL in it
    QChar *end = nullptr;
};

// Decodes bytes to out, which has room for one character per byte, a slice
// at a time; `consumed` is told of each slice of the input once it is done.
Result decode(QByteArrayView bytes, QChar *out,
              const std::function<void(QByteArrayView)> &consumed);

} // namespace Gb18030Decoder
