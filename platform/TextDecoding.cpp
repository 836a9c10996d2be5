#include "TextDecoding.h"

#include <QBuffer>
#include <QHash>
#include <QIODevice>
#include <QStringDecoder>

#include <uchardet.h>

#include <memory>

namespace TextDecoding {
namespace {

constexpr qint64 kChunkBytes = 4 * 1024 * 1024;
constexpr qsizetype kDetectBytes = 64 * 1024;

struct Bom {
    const char *bytes;
    int size;
    const char *encoding;
};
constexpr Bom kBoms[] = {
    {"\xEF\xBB\xBF", 3, "UTF-8"},
    {"\xFF\xFE", 2, "UTF-16LE"},
    {"\xFE\xFF", 2, "UTF-16BE"},
};

const Bom *findBom(QByteArrayView head)
{
    for (const Bom &bom : kBoms) {
        if (head.startsWith(QByteArrayView(bom.bytes, bom.size)))
            return &bom;
    }
    return nullptr;
}

// Appends decoded text with line breaks folded to "\n" and NUL made U+FFFD.
class Normalizer
{
public:
    explicit Normalizer(QString &out) : m_out(out) {}

    void append(QStringView piece)
    {
        const qsizetype start = m_out.size();
        m_out.resize(start + piece.size());
        QChar *dst = m_out.data() + start;
        for (const QChar c : piece) {
            if (c == u'\n' && m_afterCr) {
                m_afterCr = false;
                continue;
            }
            m_afterCr = c == u'\r';
            if (m_afterCr)
                *dst++ = u'\n';
            else if (c.unicode() == 0)
                *dst++ = QChar::ReplacementCharacter;
            else
                *dst++ = c;
        }
        m_out.truncate(dst - m_out.constData());
    }

private:
    QString &m_out;
    bool m_afterCr = false;
};

QStringDecoder decoderFor(const QByteArray &encoding)
{
    QStringDecoder decoder(encoding.constData());
    if (!decoder.isValid())
        decoder = QStringDecoder("GB18030");
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder;
}

// Decodes the rest of the device; with stopOnError, gives up (returns false)
// at the first undecodable byte.
bool decodeStream(QIODevice &device, QStringDecoder &decoder, QString &text, bool stopOnError,
                  bool &readFailed)
{
    Normalizer normalizer(text);
    readFailed = false;
    bool reserved = false;
    for (;;) {
        const QByteArray chunk = device.read(kChunkBytes);
        if (chunk.isEmpty()) {
            readFailed = !device.atEnd();
            break;
        }
        const QString piece = decoder.decode(chunk);
        if (stopOnError && decoder.hasError())
            return false;
        if (!reserved && device.size() > chunk.size()) {
            // Guess the whole length from the first piece to avoid regrowth.
            const double ratio = double(piece.size()) / double(chunk.size());
            text.reserve(qsizetype(double(device.size()) * ratio * 1.02) + 16);
            reserved = true;
        }
        normalizer.append(piece);
    }
    const QString tail = decoder.decode(QByteArrayView());   // flush partial input
    if (stopOnError && decoder.hasError())
        return false;
    normalizer.append(tail);
    return !readFailed;
}

} // namespace

QByteArray detectLegacyEncoding(QByteArrayView head)
{
    head = head.first(qMin(head.size(), kDetectBytes));
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), uchardet_delete);
    if (!detector)
        return "GB18030";
    uchardet_handle_data(detector.get(), head.data(), size_t(head.size()));
    uchardet_data_end(detector.get());
    const QByteArray name = QByteArray(uchardet_get_charset(detector.get())).toUpper();
    if (name.isEmpty() || name == "ASCII" || name.startsWith("GB") || name == "HZ-GB-2312"
        || name == "X-EUC-TW" || name == "UTF-8") {
        // UTF-8 here means the detector saw mostly UTF-8 in text that is not
        // valid UTF-8 as a whole; Chinese legacy text is the safer reading.
        return name == "UTF-8" ? QByteArray("UTF-8") : QByteArray("GB18030");
    }
    // Names the detector uses that the decoders know by another one; the
    // Windows code pages are supersets of the ISO ones.
    static const QHash<QByteArray, QByteArray> aliases = {
        {"UHC", "windows-949"},
        {"ISO-8859-1", "windows-1252"},
    };
    const QByteArray decoderName = aliases.value(name, name);
    if (!QStringDecoder(decoderName.constData()).isValid())
        return "GB18030";
    return decoderName;
}

bool decodeDevice(QIODevice &device, QString &text)
{
    text.clear();
    const QByteArray head = device.peek(kDetectBytes);
    bool readFailed = false;
    if (const Bom *bom = findBom(head)) {
        device.read(bom->size);
        QStringDecoder decoder = decoderFor(bom->encoding);
        return decodeStream(device, decoder, text, false, readFailed);
    }
    // Try UTF-8 first; most files that are not UTF-8 fail in the first chunk.
    const qint64 start = device.pos();
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        if (decodeStream(device, utf8, text, true, readFailed))
            return true;
        if (readFailed)
            return false;
    }
    text.clear();
    if (!device.seek(start))
        return false;
    QStringDecoder legacy = decoderFor(detectLegacyEncoding(head));
    return decodeStream(device, legacy, text, false, readFailed);
}

QString decode(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QString text;
    decodeDevice(buffer, text);
    return text;
}

} // namespace TextDecoding
