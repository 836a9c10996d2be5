#include "AdPageFilter.h"

#include "AdPageRules.h"
#include "HtmlScanner.h"

#include <vector>

namespace AdPageFilter {
namespace {

using namespace Qt::Literals::StringLiterals;

class Reducer
{
public:
    Reducer(QStringView html, const QUrl &base) : m_in(html), m_base(base) {}

    QString run();

private:
    struct Open {
        QString source;         // the page's element name
        QLatin1StringView ours; // the element we write for it
        Kind kind;
        int count = 0;         // rows of a table, cells of a row
        bool refusing = false; // a table past its last row
    };

    void startTag(const HtmlTag &tag);
    void endTag(const HtmlTag &tag);
    void open(const HtmlTag &tag, QLatin1StringView ours, Kind kind,
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

    HtmlScanner m_in;
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

QString Reducer::run()
{
    while (!m_in.atEnd() && m_text < kMaxText) {
        if (!text(m_in.text()) || m_in.atEnd())
            break;
        HtmlTag tag;
        if (!m_in.tag(tag))
            text(u"<"); // not a tag: text
        else if (tag.end)
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

void Reducer::open(const HtmlTag &tag, QLatin1StringView ours, Kind kind, const QString &attributes)
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

void Reducer::startTag(const HtmlTag &tag)
{
    const auto [kind, ours] = ruleFor(tag.name);
    if (kind == Kind::RawText) {
        m_in.skipRawText(tag.name);
        return;
    }
    if (kind == Kind::Drop) {
        m_in.skipElement(tag.name);
        return;
    }
    if (tag.name == u"body" && m_bodyAttributes.isEmpty())
        m_bodyAttributes = keptAttributes(tag, Kind::Table, m_base) + u' ';
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
    const QString attributes = keptAttributes(tag, kind, m_base);
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
            open(HtmlTag{u"tr"_s, false, {}}, "tr"_L1, Kind::Row);
        } else {
            closeFrom(size_t(row + 1));
        }
        ++m_open.back().count;
        break;
    }
    case Kind::Link:
        if (attributes.isEmpty())
            return; // not a link to the web: its text alone
        break;
    default: break;
    }
    open(tag, ours, kind, attributes);
    if (kind == Kind::Cell || kind == Kind::Table)
        m_cellText = 0;
}

void Reducer::endTag(const HtmlTag &tag)
{
    if (tag.name.isEmpty())
        return;
    if (m_flattened > 0
        && (tag.name == u"table" || tag.name == u"tr" || tag.name == u"td" || tag.name == u"th")) {
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

} // namespace

QString reduce(QStringView html, const QUrl &base)
{
    return Reducer(html, base).run();
}

} // namespace AdPageFilter
