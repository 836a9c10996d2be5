#include "ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <vector>

namespace Profile {
namespace {

constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;
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

Parsed split(const QByteArray &bytes)
{
    Parsed parsed;
    qsizetype pos = 0;
    if (bytes.startsWith(kUtf8Bom)) {
        parsed.encoding = Encoding::Utf8;
        pos = kUtf8Bom.size();
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

bool readWhole(const QString &fileName, QByteArray &bytes, bool &exists)
{
    QFile file(fileName);
    exists = file.exists();
    if (!exists)
        return true;
    if (!QFileInfo(fileName).isFile() || file.size() > kMaxFileBytes)
        return false;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
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
    QByteArray bytes;
    bool exists = false;
    if (!readWhole(fileName, bytes, exists) || !exists)
        return defaultValue;
    return lookup(bytes, section, key, defaultValue);
}

bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &fileName)
{
    QByteArray bytes;
    bool exists = false;
    // A file that exists but cannot be read must not be replaced by a new one.
    if (!readWhole(fileName, bytes, exists))
        return false;
    const QByteArray updated = withValue(bytes, section, key, value);
    if (exists && updated == bytes)
        return true;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(updated) != updated.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace Profile
