#include "TextDecoding.h"

#include "Gb18030Decoder.h"
#include "TextPages.h"

#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QStringDecoder>
#include <QThread>
#include <QUtf8StringView>

#include <uchardet.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace TextDecoding {
namespace {

constexpr qsizetype kDetectBytes = 64 * 1024;
// What the charset detector reads: it takes about half a millisecond a KiB,
// and this much of a novel is plenty.
constexpr qsizetype kDetectorBytes = 16 * 1024;
// Smaller inputs are not worth a second thread.
constexpr qsizetype kMinPart = 4 * 1024 * 1024;
// How far past a cut point to look for the end of its line.
constexpr qsizetype kFindLineEnd = 1024 * 1024;
// Bytes decoded at a time; then the file's pages go back.
constexpr qsizetype kSlice = 4 * 1024 * 1024;

struct Bom {
    QByteArrayView bytes;
    const char *encoding;
};
const Bom kBoms[] = {
    {"\xEF\xBB\xBF", "UTF-8"},
    {"\xFF\xFE", "UTF-16LE"},
    {"\xFE\xFF", "UTF-16BE"},
};

// Line breaks folded to "\n" and NUL made U+FFFD, in place; the new length.
qsizetype normalize(char16_t *text, qsizetype length)
{
    const QStringView view(text, length);
    const qsizetype cr = view.indexOf(u'\r');
    const qsizetype nul = view.indexOf(QChar(0));
    if (cr < 0 && nul < 0)
        return length;
    qsizetype from = cr < 0 ? nul : nul < 0 ? cr : qMin(cr, nul);
    char16_t *out = text + from;
    for (; from < length; ++from) {
        const char16_t c = text[from];
        if (c == u'\r') {
            *out++ = u'\n';
            if (from + 1 < length && text[from + 1] == u'\n')
                ++from;
        } else {
            *out++ = c == 0 ? char16_t(QChar::ReplacementCharacter) : c;
        }
    }
    return out - text;
}

// ASCII-based encodings without shift states never have a line feed
// inside a character, so they can be cut after one.
bool cutsAtLineEnds(const QByteArray &encoding)
{
    const QByteArray name = encoding.toUpper();
    return !name.startsWith("UTF-16") && !name.startsWith("UTF-32") && !name.contains("2022")
           && !name.startsWith("UTF-7") && !name.startsWith("HZ");
}

struct Part {
    QByteArrayView bytes;
    qsizetype offset = 0; // into the result
    qsizetype length = 0; // decoded
    bool error = false;
    QList<quint32> lineStarts = {};
};

QList<Part> partsOf(QByteArrayView bytes, bool cuttable)
{
    const qsizetype cores = QThread::idealThreadCount();
    const qsizetype wanted = cuttable ? qBound<qsizetype>(1, bytes.size() / kMinPart, cores) : 1;
    QList<Part> parts;
    qsizetype begin = 0;
    for (qsizetype i = 1; i < wanted; ++i) {
        const qsizetype at = qMax(begin, bytes.size() * i / wanted);
        const qsizetype lineEnd =
            bytes.sliced(at, qMin(kFindLineEnd, bytes.size() - at)).indexOf('\n');
        if (lineEnd < 0)
            continue;
        parts.append({bytes.sliced(begin, at + lineEnd + 1 - begin)});
        begin = at + lineEnd + 1;
    }
    parts.append({bytes.sliced(begin)});
    return parts;
}

// Decodes the parts side by side, each into its own stretch of the
// result, then closes the gaps. With stopOnError, false at any error.
bool decodeInParts(QByteArrayView bytes, const QByteArray &encoding, bool stopOnError,
                   QString &text, bool mapped, DisplayMap *lines)
{
    const auto flags = QStringDecoder::Flag::ConvertInitialBom;
    QStringDecoder sizing(encoding.constData(), flags);
    if (!sizing.isValid())
        return false;
    QList<Part> parts = partsOf(bytes, cutsAtLineEnds(encoding));
    qsizetype total = 0;
    for (Part &part : parts) {
        part.offset = total;
        total += sizing.requiredSpace(part.bytes.size()) + 1;
    }
    text = QString(total, Qt::Uninitialized);
    QChar *out = text.data();
    const bool gb18030 = encoding.toUpper() == "GB18030";
    const auto decodeText = [&](Part &part) {
        QChar *begin = out + part.offset;
        QChar *end = begin;
        if (gb18030) {
            const auto fast = Gb18030Decoder::decode(part.bytes, begin, [mapped](auto slice) {
                if (mapped)
                    TextPages::drop(slice.data(), slice.size());
            });
            if (fast.ok) {
                part.length = fast.end - begin;
                if (fast.hasBreaksOrNul)
                    part.length = normalize(reinterpret_cast<char16_t *>(begin), part.length);
                return;
            }
        }
        QStringDecoder decoder(encoding.constData(), flags);
        for (qsizetype at = 0; at < part.bytes.size(); at += kSlice) {
            const QByteArrayView slice = part.bytes.sliced(at,
                                                           qMin(kSlice, part.bytes.size() - at));
            end = decoder.appendToBuffer(end, slice);
            if (mapped)
                TextPages::drop(slice.data(), slice.size());
        }
        end = decoder.appendToBuffer(end, QByteArrayView()); // what an unfinished character leaves
        part.error = decoder.hasError();
        part.length = normalize(reinterpret_cast<char16_t *>(begin), end - begin);
    };
    // The index of each part's lines is built by the thread that decoded it.
    const auto decodePart = [&](Part &part) {
        decodeText(part);
        if (lines)
            part.lineStarts = DisplayMap::scanPiece(QStringView(out + part.offset, part.length));
    };
    std::vector<std::thread> helpers;
    for (qsizetype i = 1; i < parts.size(); ++i)
        helpers.emplace_back(decodePart, std::ref(parts[i]));
    decodePart(parts[0]);
    for (std::thread &helper : helpers)
        helper.join();
    for (const Part &part : parts) {
        if (stopOnError && part.error) {
            text.clear();
            return false;
        }
    }
    qsizetype length = 0;
    for (const Part &part : parts) {
        TextPages::moveDown(out + length, out + part.offset, part.length);
        length += part.length;
    }
    text.resize(length);
    text.squeeze(); // hands the rest back (a shrinking realloc does not copy)
    if (lines) {
        QList<QList<quint32>> pieces;
        QList<qsizetype> lengths;
        for (Part &part : parts) {
            pieces.append(std::move(part.lineStarts));
            lengths.append(part.length);
        }
        *lines = DisplayMap(text, std::move(pieces), lengths);
    }
    return true;
}

QByteArray decoderName(const QByteArray &encoding)
{
    return QStringDecoder(encoding.constData()).isValid() ? encoding : QByteArray("GB18030");
}

bool looksUtf8(QByteArrayView head)
{
    // A head cut inside a character is no reason to give up on UTF-8.
    const qsizetype lineEnd = head.lastIndexOf('\n');
    if (head.size() == kDetectBytes && lineEnd > 0)
        head = head.first(lineEnd);
    return QUtf8StringView(head.data(), head.size()).isValidUtf8();
}

} // namespace

QByteArray detectLegacyEncoding(QByteArrayView head)
{
    // Leading ASCII (a header, a licence) tells it nothing: it starts at the
    // line of the first other byte, where there is one.
    const auto high = std::find_if(head.begin(), head.end(),
                                   [](char c) { return uchar(c) >= 0x80; });
    if (high != head.end())
        head = head.sliced(head.first(high - head.begin()).lastIndexOf('\n') + 1);
    head = head.first(qMin(head.size(), kDetectorBytes));
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
    return decoderName(aliases.value(name, name));
}

namespace {

QString decodeBytes(QByteArrayView bytes, bool mapped, DisplayMap *lines)
{
    QString text;
    for (const Bom &bom : kBoms) {
        if (bytes.startsWith(bom.bytes)) {
            decodeInParts(bytes.sliced(bom.bytes.size()), bom.encoding, false, text, mapped, lines);
            return text;
        }
    }
    const QByteArrayView head = bytes.first(qMin(bytes.size(), kDetectBytes));
    if (looksUtf8(head) && decodeInParts(bytes, "UTF-8", true, text, mapped, lines))
        return text;
    if (!decodeInParts(bytes, detectLegacyEncoding(head), false, text, mapped, lines))
        decodeInParts(bytes, "GB18030", false, text, mapped, lines);
    return text;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    return decodeBytes(bytes, false, nullptr);
}

bool decodeFile(const QString &path, QString &text, DisplayMap &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > 0) {
        if (const uchar *mapped = file.map(0, file.size())) {
            text = decodeBytes(QByteArrayView(mapped, file.size()), true, &lines);
            if (!lines.isOf(text))
                lines = DisplayMap(text);
            return true;
        }
    }
    const bool read = decodeDevice(file, text);
    lines = DisplayMap(text);
    return read;
}

bool decodeDevice(QIODevice &device, QString &text)
{
    const QByteArray bytes = device.readAll();
    if (!device.atEnd())
        return false;
    text = decode(bytes);
    return true;
}

} // namespace TextDecoding
