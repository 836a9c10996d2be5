#include "AdPageFilter.h"

#include "AdPageRules.h"

#include <libxml/HTMLparser.h>

#include <memory>
#include <vector>

namespace AdPageFilter {
namespace {

using namespace Qt::Literals::StringLiterals;

class Reducer
{
public:
    explicit Reducer(const QUrl &base) : m_base(base) {}

    QString run(const xmlNode *root);

private:
    struct Open {
        const xmlNode *source;  // the page's element; null for one we add
        QLatin1StringView ours; // the element we write for it
        Kind kind;
        int count = 0;         // rows of a table, cells of a row
        bool refusing = false; // a table past its last row
    };

    // Whether the element's content is to be read.
    bool startTag(const xmlNode *node);
    void endTag(const xmlNode *node);
    void open(const xmlNode *node, QLatin1StringView ours, Kind kind,
              const QString &attributes = {});
    void closeFrom(size_t index);
    qsizetype innermost(Kind kind, bool stopAtTable) const;
    bool text(QStringView piece);
    // What stands for dropped cells and rows; runs of blanks show as one.
    void space()
    {
        if (!m_out.endsWith(u' '))
            text(u" ");
    }

    const QUrl m_base;
    QString m_out;
    QString m_bodyAttributes;
    std::vector<Open> m_open;
    int m_elements = 0;
    int m_tables = 0;    // kept tables open
    int m_flattened = 0; // deeper tables, shown as text
    int m_cells = 0;
    qsizetype m_cellText = 0; // in the innermost cell
    qsizetype m_text = 0;
};

Element element(const xmlNode *node)
{
    Element e{QString::fromUtf8(reinterpret_cast<const char *>(node->name)).toLower(), {}};
    for (const xmlAttr *a = node->properties; a && e.attributes.size() < 16; a = a->next) {
        const std::unique_ptr<xmlChar, decltype(xmlFree)> value(
            xmlNodeGetContent(reinterpret_cast<const xmlNode *>(a)), xmlFree);
        e.attributes.append({QString::fromUtf8(reinterpret_cast<const char *>(a->name)).toLower(),
                             QString::fromUtf8(reinterpret_cast<const char *>(value.get()))});
    }
    return e;
}

// Walks the tree in document order with a loop: pages nest deeply.
QString Reducer::run(const xmlNode *root)
{
    const xmlNode *node = root ? root->children : nullptr;
    while (node && m_text < kMaxText) {
        bool enter = false;
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE)
            text(QString::fromUtf8(reinterpret_cast<const char *>(node->content)));
        else if (node->type == XML_ELEMENT_NODE)
            enter = startTag(node);
        if (enter && node->children) {
            node = node->children;
            continue;
        }
        if (enter)
            endTag(node);
        while (node != root && !node->next) {
            node = node->parent;
            if (node != root)
                endTag(node);
        }
        node = node == root ? nullptr : node->next;
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
        piece = piece.first(room > 0 && piece[room - 1].isHighSurrogate() ? room - 1 : room);
    appendEscaped(m_out, piece);
    m_text += piece.size();
    m_cellText += piece.size();
    return m_text < kMaxText;
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

void Reducer::open(const xmlNode *node, QLatin1StringView ours, Kind kind,
                   const QString &attributes)
{
    m_out += u'<';
    m_out += ours;
    m_out += attributes;
    m_out += u'>';
    if (kind == Kind::Break)
        return;
    m_open.push_back({node, ours, kind, 0, false});
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

bool Reducer::startTag(const xmlNode *node)
{
    const Element tag = element(node);
    const auto [kind, ours] = ruleFor(tag.name);
    if (kind == Kind::Drop)
        return false;
    if (tag.name == u"body" && m_bodyAttributes.isEmpty())
        m_bodyAttributes = keptAttributes(tag, Kind::Table, m_base);
    const bool tableMarkup = kind == Kind::Table || kind == Kind::Row || kind == Kind::Cell;
    if (tableMarkup && m_flattened > 0) {
        m_flattened += kind == Kind::Table;
        space();
        return true;
    }
    if (kind == Kind::Ignore || m_elements >= kMaxElements || int(m_open.size()) >= kMaxDepth - 2) {
        if (kind == Kind::Table)
            ++m_flattened;
        if (kind == Kind::Break || kind == Kind::Cell || kind == Kind::Row)
            space();
        return true;
    }
    ++m_elements;
    const QString attributes = keptAttributes(tag, kind, m_base);
    switch (kind) {
    case Kind::Table:
        if (m_tables >= kMaxTableDepth) {
            ++m_flattened;
            return true;
        }
        break;
    case Kind::Row: {
        const qsizetype table = innermost(Kind::Table, false);
        if (table < 0)
            return true;
        closeFrom(size_t(table + 1));
        Open &t = m_open[size_t(table)];
        t.refusing = ++t.count > kMaxRows;
        if (t.refusing) {
            space();
            return true;
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
            return true;
        }
        if (row < 0) {
            closeFrom(size_t(table + 1));
            ++m_open[size_t(table)].count;
            open(nullptr, "tr"_L1, Kind::Row);
        } else {
            closeFrom(size_t(row + 1));
        }
        ++m_open.back().count;
        break;
    }
    case Kind::Link:
        if (attributes.isEmpty())
            return true; // not a link to the web: its text alone
        break;
    default: break;
    }
    open(node, ours, kind, attributes);
    if (kind == Kind::Cell || kind == Kind::Table)
        m_cellText = 0;
    return true;
}

void Reducer::endTag(const xmlNode *node)
{
    const QByteArrayView name(reinterpret_cast<const char *>(node->name));
    if (m_flattened > 0 && (name == "table" || name == "tr" || name == "td" || name == "th")) {
        m_flattened -= name == "table";
        return;
    }
    // Closes what was written for it and everything still open inside it.
    for (qsizetype i = qsizetype(m_open.size()) - 1; i >= 0; --i) {
        if (m_open[size_t(i)].source == node) {
            closeFrom(size_t(i));
            return;
        }
    }
}

} // namespace

QString reduce(QStringView html, const QUrl &base)
{
    static const bool ready = (xmlInitParser(), true);
    Q_UNUSED(ready);
    // U+0000 would end the page for the parser.
    const QByteArray bytes = html.toString().remove(QChar(0)).toUtf8();
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR
                        | HTML_PARSE_NOWARNING | HTML_PARSE_COMPACT | HTML_PARSE_IGNORE_ENC;
    const std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        htmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, "UTF-8", options),
        xmlFreeDoc);
    return Reducer(base).run(reinterpret_cast<const xmlNode *>(doc.get()));
}

} // namespace AdPageFilter
