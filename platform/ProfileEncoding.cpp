#include "ProfileEncoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace ProfileEncoding {
namespace {

bool decodesWithoutError(const char *name, QByteArrayView bytes)
{
    QStringDecoder decoder(name, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

// Hand-written files are UTF-8 without a mark on every Linux desktop. Our
// own GB18030 can be valid UTF-8 by chance, but then almost always as
// two-byte sequences only: Chinese in UTF-8 takes three bytes a character.
Encoding detect(QByteArrayView bytes)
{
    if (bytes.startsWith(kUtf8Bom))
        return Encoding::Utf8;
    const auto byte = [](char c) { return static_cast<unsigned char>(c); };
    if (std::all_of(bytes.begin(), bytes.end(), [&](char c) { return byte(c) < 0x80; }))
        return Encoding::Gb18030;
    if (!decodesWithoutError("UTF-8", bytes))
        return Encoding::Gb18030;
    const bool wide = std::any_of(bytes.begin(), bytes.end(),
                                  [&](char c) { return byte(c) >= 0xE0; });
    return wide || !decodesWithoutError("GB18030", bytes) ? Encoding::Utf8 : Encoding::Gb18030;
}

QString decode(Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding == Encoding::Utf8 ? "UTF-8" : "GB18030");
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Latin1);
    return decoder.decode(bytes);
}

QByteArray encode(Encoding encoding, const QString &text)
{
    QStringEncoder encoder(encoding == Encoding::Utf8 ? "UTF-8" : "GB18030");
    if (!encoder.isValid())
        encoder = QStringEncoder(QStringEncoder::Utf8);
    return encoder.encode(text);
}

QByteArray note(Encoding encoding)
{
    // Chinese in GB18030 is never valid UTF-8 from its first byte on; in
    // UTF-8 it is three bytes a character.
    return encode(encoding, encoding == Encoding::Utf8 ? QStringLiteral("; 编码: UTF-8")
                                                       : QStringLiteral("; 编码: GB18030"));
}

qsizetype characterBoundary(Encoding encoding, QByteArrayView v, qsizetype maxBytes)
{
    qsizetype i = 0;
    qsizetype last = 0;
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(v[k]); };
    while (i < v.size() && i <= maxBytes) {
        last = i;
        const unsigned char b = byte(i);
        qsizetype len = 1;
        if (encoding == Encoding::Utf8) {
            len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        } else if (b >= 0x81 && b <= 0xFE && i + 1 < v.size()) {
            const unsigned char second = byte(i + 1);
            len = (second >= 0x30 && second <= 0x39) ? 4 : 2;
        }
        i += len;
    }
    if (i <= maxBytes && i >= v.size())
        return v.size();
    return last;
}

} // namespace ProfileEncoding
