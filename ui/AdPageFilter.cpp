#include "AdPageFilter.h"

#include <QColor>

#include <vector>

namespace AdPageFilter {
namespace {

enum class Kind {
    Ignore,    // the tag goes, its content stays
    Drop,      // goes with everything inside it
    RawText,   // its content is not markup; goes with it
    Inline,
    Block,
    Break,
    Link,
    Font,
    Table,
    Row,
    Cell,
};

struct Rule {
    QLatin1StringView name;
    Kind kind;
    QLatin1StringView ours;
};

using namespace Qt::Literals::StringLiterals;

const Rule kRules[] = {
    {"b"_L1, Kind::Inline, "b"_L1},       {"strong"_L1, Kind::Inline, "b"_L1},
    {"i"_L1, Kind::Inline, "i"_L1},       {"em"_L1, Kind::Inline, "i"_L1},
    {"cite"_L1, Kind::Inline, "i"_L1},    {"u"_L1, Kind::Inline, "u"_L1},
    {"ins"_L1, Kind::Inline, "u"_L1},     {"s"_L1, Kind::Inline, "s"_L1},
    {"strike"_L1, Kind::Inline, "s"_L1},  {"del"_L1, Kind::Inline, "s"_L1},
    {"big"_L1, Kind::Inline, "big"_L1},   {"small"_L1, Kind::Inline, "small"_L1},
    {"sub"_L1, Kind::Inline, "sub"_L1},   {"sup"_L1, Kind::Inline, "sup"_L1},
    {"span"_L1, Kind::Inline, "span"_L1}, {"font"_L1, Kind::Font, "font"_L1},
    {"a"_L1, Kind::Link, "a"_L1},         {"p"_L1, Kind::Block, "p"_L1},
    {"div"_L1, Kind::Block, "div"_L1},    {"center"_L1, Kind::Block, "center"_L1},
    {"li"_L1, Kind::Block, "p"_L1},       {"pre"_L1, Kind::Block, "p"_L1},
    {"h1"_L1, Kind::Block, "h1"_L1},      {"h2"_L1, Kind::Block, "h2"_L1},
    {"h3"_L1, Kind::Block, "h3"_L1},      {"h4"_L1, Kind::Block, "h4"_L1},
    {"h5"_L1, Kind::Block, "h5"_L1},      {"h6"_L1, Kind::Block, "h6"_L1},
    {"br"_L1, Kind::Break, "br"_L1},      {"table"_L1, Kind::Table, "table"_L1},
    {"tr"_L1, Kind::Row, "tr"_L1},        {"td"_L1, Kind::Cell, "td"_L1},
    {"th"_L1, Kind::Cell, "th"_L1},
    {"script"_L1, Kind::RawText, {}},     {"style"_L1, Kind::RawText, {}},
    {"title"_L1, Kind::RawText, {}},      {"textarea"_L1, Kind::RawText, {}},
    {"iframe"_L1, Kind::RawText, {}},     {"noembed"_L1, Kind::RawText, {}},
    {"noframes"_L1, Kind::RawText, {}},   {"xmp"_L1, Kind::RawText, {}},
    {"head"_L1, Kind::Drop, {}},          {"object"_L1, Kind::Drop, {}},
    {"applet"_L1, Kind::Drop, {}},        {"svg"_L1, Kind::Drop, {}},
    {"math"_L1, Kind::Drop, {}},          {"select"_L1, Kind::Drop, {}},
    {"button"_L1, Kind::Drop, {}},        {"template"_L1, Kind::Drop, {}},
    {"noscript"_L1, Kind::Drop, {}},      {"audio"_L1, Kind::Drop, {}},
    {"video"_L1, Kind::Drop, {}},         {"canvas"_L1, Kind::Drop, {}},
    {"map"_L1, Kind::Drop, {}},           {"picture"_L1, Kind::Drop, {}},
    {"frameset"_L1, Kind::Drop, {}},      {"datalist"_L1, Kind::Drop, {}},
};

Kind kindOf(QStringView name, QLatin1StringView &ours)
{
    for (const Rule &rule : kRules) {
        if (name == rule.name) {
            ours = rule.ours;
            return rule.kind;
        }
    }
    return Kind::Ignore;   // also every element without content (img, input, link, ...)
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u':';
}

struct Attribute {
    QString name;
    QString value;
};

struct Tag {
    QString name;
    bool end = false;
    QList<Attribute> attributes;
};

QString decodeEntities(QStringView v)
{
    QString out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] != u'&') {
            out += v[i];
            continue;
        }
        const qsizetype semi = v.indexOf(u';', i);
        const QStringView ref = semi > i && semi - i <= 10 ? v.sliced(i + 1, semi - i - 1) : QStringView();
        char32_t code = 0;
        if (ref == u"amp") code = u'&';
        else if (ref == u"lt") code = u'<';
        else if (ref == u"gt") code = u'>';
        else if (ref == u"quot") code = u'"';
        else if (ref == u"apos") code = u'\'';
        else if (ref.startsWith(u"#x") || ref.startsWith(u"#X")) code = ref.sliced(2).toUInt(nullptr, 16);
        else if (ref.startsWith(u'#')) code = ref.sliced(1).toUInt();
        if (code == 0 || code > 0x10FFFF || QChar::isSurrogate(code)) {
            out += v[i];
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semi;
    }
    return out;
}

void appendEscaped(QString &out, QStringView text, bool keepEntities)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'<') {
            out += u"&lt;";
        } else if (c == u'>') {
            out += u"&gt;";
        } else if (c == u'"') {
            out += u"&quot;";
        } else if (c == u'&') {
            // A well-formed reference is left for the rich-text parser.
            qsizetype j = i + 1;
            while (j < text.size() && j - i <= 10 && (text[j].isLetterOrNumber() || text[j] == u'#'))
                ++j;
            const bool reference = keepEntities && j > i + 1 && j < text.size() && text[j] == u';';
            out += reference ? u"&"_s : u"&amp;"_s;
        } else if (c.unicode() != 0) {
            out += c;
        }
    }
}

QString validColour(QStringView value)
{
    const QColor colour(value.trimmed().toString());
    return colour.isValid() ? colour.name() : QString();
}

class Reducer
{
public:
    Reducer(QStringView html, const QUrl &base) : m_in(html), m_base(base) {}

    QString run();

private:
    struct Open {
        QString source;           // the page's element name
        QLatin1StringView ours;   // the element we write for it
        Kind kind;
        int count = 0;            // rows of a table, cells of a row
        bool refusing = false;    // a table past its last row
    };

    bool readTag(Tag &tag);
    void skipRawText(QStringView name);
    void skipElement(QStringView name);
    void skipPast(QStringView marker);
    void startTag(const Tag &tag);
    void endTag(const Tag &tag);
    QString keptAttributes(const Tag &tag, Kind kind) const;
    void open(const Tag &tag, QLatin1StringView ours, Kind kind, const QString &attributes = {});
    void closeFrom(size_t index);
    qsizetype innermost(Kind kind, bool stopAtTable) const;
    bool text(QStringView piece);
    // What stands for dropped cells and rows; runs of blanks show as one.
    void space()
    {
        if (!m_out.endsWith(u' '))
            text(u" ");
    }

    QStringView m_in;
    qsizetype m_at = 0;
    const QUrl m_base;
    QString m_out;
    QString m_bodyAttributes;
    std::vector<Open> m_open;
    int m_elements = 0;
    int m_tables = 0;      // kept tables open
    int m_flattened = 0;   // deeper tables, shown as text
    int m_cells = 0;
    qsizetype m_cellText = 0;   // in the innermost cell
    qsizetype m_text = 0;
};

QString Reducer::run()
{
    while (m_at < m_in.size() && m_text < kMaxText) {
        const qsizetype lt = m_in.indexOf(u'<', m_at);
        const qsizetype textEnd = lt < 0 ? m_in.size() : lt;
        if (textEnd > m_at && !text(m_in.sliced(m_at, textEnd - m_at)))
            break;
        m_at = textEnd;
        if (m_at >= m_in.size())
            break;
        if (m_in.sliced(m_at).startsWith(u"<!--")) {
            skipPast(u"-->");
            continue;
        }
        Tag tag;
        if (!readTag(tag)) {
            if (!text(m_in.sliced(m_at, 1)))
                break;
            ++m_at;
            continue;
        }
        if (tag.end)
            endTag(tag);
        else
            startTag(tag);
    }
    closeFrom(0);
    QString page = u"<html><body"_s;
    page += m_bodyAttributes;
    page += u'>';
    page += m_out;
    page += u"</body></html>"_s;
    return page;
}

bool Reducer::text(QStringView piece)
{
    qsizetype room = kMaxText - m_text;
    if (m_tables > 0)
        room = qMin(room, qMax<qsizetype>(0, kMaxCellText - m_cellText));
    if (piece.size() > room)
        piece = piece.first(room);
    appendEscaped(m_out, piece, true);
    m_text += piece.size();
    m_cellText += piece.size();
    return m_text < kMaxText;
}

// Reads the tag at m_at ('<'); false when it is not one (a lone '<').
bool Reducer::readTag(Tag &tag)
{
    qsizetype i = m_at + 1;
    const qsizetype n = m_in.size();
    if (i < n && (m_in[i] == u'!' || m_in[i] == u'?')) {   // doctype, processing
        skipPast(u">");
        tag.name.clear();
        tag.end = true;
        return true;
    }
    if (i < n && m_in[i] == u'/') {
        tag.end = true;
        ++i;
    }
    if (i >= n || !m_in[i].isLetter())
        return false;
    const qsizetype nameStart = i;
    while (i < n && isNameChar(m_in[i]))
        ++i;
    tag.name = m_in.sliced(nameStart, qMin<qsizetype>(i - nameStart, 16)).toString().toLower();
    while (i < n && m_in[i] != u'>') {
        if (m_in[i].isSpace() || m_in[i] == u'/') {
            ++i;
            continue;
        }
        const qsizetype attrStart = i;
        while (i < n && !m_in[i].isSpace() && m_in[i] != u'=' && m_in[i] != u'>' && m_in[i] != u'/')
            ++i;
        Attribute attribute{m_in.sliced(attrStart, i - attrStart).toString().toLower(), QString()};
        while (i < n && m_in[i].isSpace())
            ++i;
        if (i < n && m_in[i] == u'=') {
            ++i;
            while (i < n && m_in[i].isSpace())
                ++i;
            qsizetype valueStart = i;
            qsizetype valueEnd = i;
            if (i < n && (m_in[i] == u'"' || m_in[i] == u'\'')) {
                const qsizetype close = m_in.indexOf(m_in[i], i + 1);
                valueStart = i + 1;
                valueEnd = close < 0 ? n : close;
                i = close < 0 ? n : close + 1;
            } else {
                while (i < n && !m_in[i].isSpace() && m_in[i] != u'>')
                    ++i;
                valueEnd = i;
            }
            attribute.value = decodeEntities(m_in.sliced(valueStart, valueEnd - valueStart));
        }
        if (tag.attributes.size() < 16 && !attribute.name.isEmpty())
            tag.attributes.append(attribute);
    }
    m_at = qMin(n, i + 1);
    return true;
}

void Reducer::skipPast(QStringView marker)
{
    const qsizetype found = m_in.indexOf(marker, m_at + 1);
    m_at = found < 0 ? m_in.size() : found + marker.size();
}

// Raw text ends at the first end tag of its element.
void Reducer::skipRawText(QStringView name)
{
    for (;;) {
        const qsizetype found = m_in.indexOf(u"</", m_at);
        if (found < 0) {
            m_at = m_in.size();
            return;
        }
        m_at = found + 2;
        if (m_in.sliced(m_at).startsWith(name, Qt::CaseInsensitive)
            && (m_at + name.size() >= m_in.size() || !isNameChar(m_in[m_at + name.size()]))) {
            skipPast(u">");
            return;
        }
    }
}

// Markup that is dropped whole: up to its matching end tag, counting
// elements of the same name inside it.
void Reducer::skipElement(QStringView name)
{
    int depth = 1;
    while (depth > 0 && m_at < m_in.size()) {
        const qsizetype lt = m_in.indexOf(u'<', m_at);
        if (lt < 0) {
            m_at = m_in.size();
            return;
        }
        m_at = lt;
        if (m_in.sliced(m_at).startsWith(u"<!--")) {
            skipPast(u"-->");
            continue;
        }
        Tag tag;
        if (!readTag(tag)) {
            ++m_at;
            continue;
        }
        if (tag.name == name)
            depth += tag.end ? -1 : 1;
    }
}

qsizetype Reducer::innermost(Kind kind, bool stopAtTable) const
{
    for (qsizetype i = qsizetype(m_open.size()) - 1; i >= 0; --i) {
        if (m_open[size_t(i)].kind == kind)
            return i;
        if (stopAtTable && m_open[size_t(i)].kind == Kind::Table)
            return -1;
    }
    return -1;
}

void Reducer::open(const Tag &tag, QLatin1StringView ours, Kind kind, const QString &attributes)
{
    m_out += u'<';
    m_out += ours;
    m_out += attributes;
    m_out += u'>';
    if (kind == Kind::Break)
        return;
    m_open.push_back({tag.name, ours, kind, 0, false});
    if (kind == Kind::Table)
        ++m_tables;
}

void Reducer::closeFrom(size_t index)
{
    while (m_open.size() > index) {
        m_out += u"</";
        m_out += m_open.back().ours;
        m_out += u'>';
        if (m_open.back().kind == Kind::Table)
            --m_tables;
        m_open.pop_back();
    }
}

void Reducer::startTag(const Tag &tag)
{
    QLatin1StringView ours;
    const Kind kind = kindOf(tag.name, ours);
    if (kind == Kind::RawText) {
        skipRawText(tag.name);
        return;
    }
    if (kind == Kind::Drop) {
        skipElement(tag.name);
        return;
    }
    if (tag.name == u"body" && m_bodyAttributes.isEmpty())
        m_bodyAttributes = keptAttributes(tag, Kind::Table) + u' ';
    const bool tableMarkup = kind == Kind::Table || kind == Kind::Row || kind == Kind::Cell;
    if (tableMarkup && m_flattened > 0) {
        m_flattened += kind == Kind::Table;
        space();
        return;
    }
    if (kind == Kind::Ignore || m_elements >= kMaxElements || int(m_open.size()) >= kMaxDepth - 2) {
        if (kind == Kind::Table)
            ++m_flattened;
        if (kind == Kind::Break || kind == Kind::Cell || kind == Kind::Row)
            space();
        return;
    }
    ++m_elements;
    const QString attributes = keptAttributes(tag, kind);
    switch (kind) {
    case Kind::Table:
        if (m_tables >= kMaxTableDepth) {
            ++m_flattened;
            return;
        }
        break;
    case Kind::Row: {
        const qsizetype table = innermost(Kind::Table, false);
        if (table < 0)
            return;
        closeFrom(size_t(table + 1));
        Open &t = m_open[size_t(table)];
        t.refusing = ++t.count > kMaxRows;
        if (t.refusing) {
            space();
            return;
        }
        break;
    }
    case Kind::Cell: {
        const qsizetype table = innermost(Kind::Table, false);
        const qsizetype row = innermost(Kind::Row, true);
        const bool refused = table < 0 || (row < 0 && m_open[size_t(table)].refusing)
                             || (row >= 0 && m_open[size_t(row)].count >= kMaxColumns);
        if (refused || ++m_cells > kMaxCells) {
            space();
            return;
        }
        if (row < 0) {
            closeFrom(size_t(table + 1));
            ++m_open[size_t(table)].count;
            open(Tag{u"tr"_s, false, {}}, "tr"_L1, Kind::Row);
        } else {
            closeFrom(size_t(row + 1));
        }
        ++m_open.back().count;
        break;
    }
    case Kind::Link:
        if (attributes.isEmpty())
            return;   // not a link to the web: its text alone
        break;
    default:
        break;
    }
    open(tag, ours, kind, attributes);
    if (kind == Kind::Cell || kind == Kind::Table)
        m_cellText = 0;
}

void Reducer::endTag(const Tag &tag)
{
    if (tag.name.isEmpty())
        return;
    if (m_flattened > 0 && (tag.name == u"table" || tag.name == u"tr" || tag.name == u"td"
                            || tag.name == u"th")) {
        m_flattened -= tag.name == u"table";
        return;
    }
    // Closes the element and what is open inside it, never across a table.
    for (qsizetype i = qsizetype(m_open.size()) - 1; i >= 0; --i) {
        const Open &open = m_open[size_t(i)];
        if (open.source == tag.name) {
            closeFrom(size_t(i));
            return;
        }
        if (open.kind == Kind::Table || open.kind == Kind::Row || open.kind == Kind::Cell) {
            if (tag.name != u"table" && tag.name != u"tr")
                return;
            if (tag.name == u"tr" && open.kind == Kind::Table)
                return;
        }
    }
}

QString Reducer::keptAttributes(const Tag &tag, Kind kind) const
{
    QString kept;
    const auto add = [&kept](QLatin1StringView name, QStringView value) {
        kept += u' ';
        kept += name;
        kept += u"=\"";
        appendEscaped(kept, value, false);
        kept += u'"';
    };
    for (const Attribute &a : tag.attributes) {
        if (kind == Kind::Link && a.name == u"href") {
            const QUrl target = m_base.resolved(QUrl(a.value.trimmed()));
            const QString scheme = target.scheme().toLower();
            if (target.isValid() && (scheme == u"http" || scheme == u"https"))
                add("href"_L1, target.toString(QUrl::FullyEncoded));
        } else if ((kind == Kind::Font && a.name == u"color")
                   || (kind == Kind::Table && a.name == u"text")) {
            if (const QString c = validColour(a.value); !c.isEmpty())
                add(kind == Kind::Font ? "color"_L1 : "text"_L1, c);
        } else if ((kind == Kind::Table || kind == Kind::Row || kind == Kind::Cell)
                   && a.name == u"bgcolor") {
            if (const QString c = validColour(a.value); !c.isEmpty())
                add("bgcolor"_L1, c);
        } else if ((kind == Kind::Block || kind == Kind::Cell || kind == Kind::Table)
                   && a.name == u"align") {
            const QString v = a.value.trimmed().toLower();
            if (v == u"left" || v == u"right" || v == u"center" || v == u"justify")
                add("align"_L1, v);
        } else if (a.name == u"style" && kind != Kind::Link) {
            // Only plain colours: nothing that can import, nest or load.
            QString style;
            for (QStringView declaration : QStringView(a.value).split(u';')) {
                const qsizetype colon = declaration.indexOf(u':');
                if (colon < 0)
                    continue;
                const QString property = declaration.first(colon).trimmed().toString().toLower();
                const QString c = validColour(declaration.sliced(colon + 1));
                if (!c.isEmpty() && (property == u"color" || property == u"background-color"))
                    style += property + u':' + c + u';';
            }
            if (!style.isEmpty())
                add("style"_L1, style);
        }
    }
    return kept;
}

} // namespace

QString reduce(QStringView html, const QUrl &base)
{
    return Reducer(html, base).run();
}

} // namespace AdPageFilter
