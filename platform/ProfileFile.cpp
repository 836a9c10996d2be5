#include "ProfileFile.h"

#include "AtomicFile.h"
#include "ProfileEncoding.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace Profile {
namespace {

using namespace ProfileEncoding;

struct Line {
    qsizetype begin = 0; // first byte of the line's content
    qsizetype end = 0;   // one past its content, before the line break
    qsizetype next = 0;  // first byte of the following line
};

struct Parsed {
    Encoding encoding = Encoding::Gb18030;
    std::vector<Line> lines;
};

Parsed split(const QByteArray &bytes)
{
    Parsed parsed;
    parsed.encoding = detect(bytes);
    qsizetype pos = bytes.startsWith(kUtf8Bom) ? kUtf8Bom.size() : 0;
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

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && isBlank(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v.back()))
        v.chop(1);
    return v;
}

struct KeyLine {
    bool isSection = false;
    QString name;         // section name or key
    QByteArrayView value; // raw value bytes for a key line
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
        const qsizetype lastBreak = qMax(head.bytes.lastIndexOf('\n'),
                                         head.bytes.lastIndexOf('\r'));
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

namespace {

QByteArray edited(const QByteArray &fileBytes, const Parsed &parsed, const QString &section,
                  const QString &key, const QString &value)
{
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
        if (after.next == after.end) // last line of the file, without a break
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

} // namespace

QByteArray withValue(const QByteArray &fileBytes, const QString &section, const QString &key,
                     const QString &value)
{
    const Parsed parsed = split(fileBytes);
    QByteArray out = edited(fileBytes, parsed, section, key, value);
    // The new line alone must not change how the whole file is read.
    if (detect(out) != parsed.encoding) {
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
            out += lineBreakOf(fileBytes, parsed);
        out += note(parsed.encoding) + lineBreakOf(fileBytes, parsed);
    }
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
