#include "ProfileFile.h"

#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <vector>

namespace Profile {
namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

struct Line {
    qsizetype begin = 0;   // first byte of the line's content
    qsizetype end = 0;     // one past its content, before the line break
    qsizetype next = 0;    // first byte of the following line
};

enum class Encoding { Gb18030, Utf8 };

struct Parsed {
    Encoding encoding = Encoding::Gb18030;
    std::vector<Line> lines;
};

// Hand-written files are UTF-8 without a mark on every Linux desktop. Our
// own GB18030 can be valid UTF-8 by chance, but then only as two-byte
// sequences: Chinese in UTF-8 takes three bytes a character.
bool isUtf8WithoutMark(QByteArrayView bytes)
{
    bool wide = false;
    for (const char c : bytes)
        wide = wide || static_cast<unsigned char>(c) >= 0xE0;
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString asUtf8 = utf8.decode(bytes);
    if (utf8.hasError())
        return false;
    if (wide)
        return true;
    QStringDecoder gb("GB18030", QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString asGb = gb.decode(bytes);
    return gb.hasError();
}

Parsed split(const QByteArray &bytes)
{
    Parsed parsed;
    qsizetype pos = 0;
    if (bytes.startsWith(kUtf8Bom)) {
        parsed.encoding = Encoding::Utf8;
        pos = kUtf8Bom.size();
    } else if (isUtf8WithoutMark(bytes)) {
        parsed.encoding = Encoding::Utf8;
    }
    const qsizetype n = bytes.size();
    // CR and LF never occur inside a GB18030 or UTF-8 character, so the
    // raw bytes can be split before decoding.
    while (pos < n) {
        Line line;
        line.begin = pos;
        qsizetype i = pos;
        while (i < n && bytes[i] != '\n' && bytes[i] != '\r')
            ++i;
        line.end = i;
        if (i < n && bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            i += 2;
        else if (i < n)
            i += 1;
        line.next = i;
        parsed.lines.push_back(line);
        pos = i;
    }
    return parsed;
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

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && isBlank(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v.back()))
        v.chop(1);
    return v;
}

// Longest prefix of at most maxBytes that does not end inside a character.
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
            if (b >= 0xF0)
                len = 4;
            else if (b >= 0xE0)
                len = 3;
            else if (b >= 0xC0)
                len = 2;
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

struct KeyLine {
    bool isSection = false;
    QString name;           // section name or key
    QByteArrayView value;   // raw value bytes for a key line
};

bool parseLine(Encoding encoding, QByteArrayView raw, KeyLine &out)
{
    const QByteArrayView content = trimmed(raw);
    if (content.isEmpty() || content.front() == ';')
        return false;
    if (content.front() == '[') {
        // ']' can be a GB18030 trail byte, so look for it after decoding.
        const QString text = decode(encoding, content);
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return false;
        out.isSection = true;
        out.name = text.mid(1, close - 1).trimmed();
        return true;
    }
    // '=' is never part of a multi-byte character in either encoding.
    const qsizetype eq = content.indexOf('=');
    if (eq <= 0)
        return false;
    out.isSection = false;
    out.name = decode(encoding, trimmed(content.first(eq))).trimmed();
    out.value = content.sliced(eq + 1);
    return !out.name.isEmpty();
}

struct Location {
    qsizetype keyLine = -1;         // index of the matching key line
    qsizetype sectionHeader = -1;   // index of the first matching section header
    qsizetype sectionLastLine = -1; // last non-blank line of that section
};

Location locate(const QByteArray &bytes, const Parsed &parsed, const QString &section,
                const QString &key)
{
    Location loc;
    bool inSection = false;
    bool inFirstSection = false;
    for (qsizetype i = 0; i < qsizetype(parsed.lines.size()); ++i) {
        const Line &line = parsed.lines[size_t(i)];
        const QByteArrayView raw(bytes.constData() + line.begin, line.end - line.begin);
        KeyLine parsedLine;
        const bool meaningful = parseLine(parsed.encoding, raw, parsedLine);
        if (meaningful && parsedLine.isSection) {
            inSection = parsedLine.name.compare(section, Qt::CaseInsensitive) == 0;
            inFirstSection = inSection && loc.sectionHeader < 0;
            if (inFirstSection) {
                loc.sectionHeader = i;
                loc.sectionLastLine = i;
            }
            continue;
        }
        if (inFirstSection && !trimmed(raw).isEmpty())
            loc.sectionLastLine = i;
        if (inSection && meaningful && loc.keyLine < 0
            && parsedLine.name.compare(key, Qt::CaseInsensitive) == 0) {
            loc.keyLine = i;
        }
    }
    return loc;
}

QByteArray lineBreakOf(const QByteArray &bytes, const Parsed &parsed)
{
    for (const Line &line : parsed.lines) {
        if (line.next > line.end)
            return bytes.mid(line.end, line.next - line.end);
    }
    return QByteArrayLiteral("\n");
}

QString safeValue(QString value)
{
    // A line break inside a value would start a new line in the file.
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    value.replace(QChar(0), u' ');
    return value;
}

// The part of the file that counts: its first kMaxReadBytes, cut after the
// last whole line. keepFrom is where the rest begins (-1: nothing left).
struct Head {
    bool exists = false;
    QByteArray bytes;
    qint64 keepFrom = -1;
};

bool readHead(const QString &fileName, Head &head)
{
    QFile file(fileName);
    head.exists = file.exists();
    if (!head.exists)
        return true;
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    head.bytes = file.read(kMaxReadBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return false;
    if (head.bytes.size() > kMaxReadBytes) {
        head.bytes.truncate(kMaxReadBytes);
        const qsizetype lastBreak =
            qMax(head.bytes.lastIndexOf('\n'), head.bytes.lastIndexOf('\r'));
        if (lastBreak >= 0)
            head.bytes.truncate(lastBreak + 1);
        head.keepFrom = head.bytes.size();
    }
    return true;
}

} // namespace

QString lookup(const QByteArray &fileBytes, const QString &section, const QString &key,
               const QString &defaultValue)
{
    const Parsed parsed = split(fileBytes);
    const Location loc = locate(fileBytes, parsed, section, key);
    if (loc.keyLine < 0)
        return defaultValue;
    const Line &line = parsed.lines[size_t(loc.keyLine)];
    KeyLine keyLine;
    parseLine(parsed.encoding,
              QByteArrayView(fileBytes.constData() + line.begin, line.end - line.begin), keyLine);
    QByteArrayView value = keyLine.value;
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value = value.first(nul);
    value = trimmed(value);
    value = value.first(characterBoundary(parsed.encoding, value, kMaxValueBytes));
    return decode(parsed.encoding, value);
}

QByteArray withValue(const QByteArray &fileBytes, const QString &section, const QString &key,
                     const QString &value)
{
    const Parsed parsed = split(fileBytes);
    const Location loc = locate(fileBytes, parsed, section, key);
    const QByteArray eol = lineBreakOf(fileBytes, parsed);
    const QByteArray entry = encode(parsed.encoding, key + u'=' + safeValue(value));

    QByteArray out = fileBytes;
    if (loc.keyLine >= 0) {
        const Line &line = parsed.lines[size_t(loc.keyLine)];
        out.replace(line.begin, line.end - line.begin, entry);
        return out;
    }
    if (loc.sectionHeader >= 0) {
        const Line &after = parsed.lines[size_t(loc.sectionLastLine)];
        QByteArray insert;
        if (after.next == after.end)   // last line of the file, without a break
            insert += eol;
        insert += entry + eol;
        out.insert(after.next, insert);
        return out;
    }
    if (!out.isEmpty() && out != kUtf8Bom && !out.endsWith('\n') && !out.endsWith('\r'))
        out += eol;
    out += encode(parsed.encoding, u'[' + section + u']') + eol + entry + eol;
    return out;
}

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, const QString &fileName)
{
    Head head;
    if (!readHead(fileName, head) || !head.exists)
        return defaultValue;
    return lookup(head.bytes, section, key, defaultValue);
}

bool WritePrivateProfileStrings(const QString &section, const Entries &entries,
                                const QString &fileName)
{
    Head head;
    // A file that exists but cannot be read must not be replaced by a new one.
    if (!readHead(fileName, head))
        return false;
    QByteArray updated = head.bytes;
    for (const auto &[key, value] : entries)
        updated = withValue(updated, section, key, value);
    if (head.exists && updated == head.bytes)
        return true;
    return AtomicFile::replace(fileName, updated, head.keepFrom);
}

bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &fileName)
{
    return WritePrivateProfileStrings(section, {{key, value}}, fileName);
}

} // namespace Profile
