#include "AdPageRules.h"

#include <QHash>
#include <QRegularExpression>

namespace AdPageFilter {

using namespace Qt::Literals::StringLiterals;

namespace {

// Only what can name nothing but a colour: #rgb, #rrggbb or a keyword.
QString validColour(QStringView value)
{
    static const QRegularExpression colour(u"^(#[0-9a-f]{3}|#[0-9a-f]{6}|[a-z]{3,20})$"_s);
    const QString v = value.trimmed().toString().toLower();
    return colour.match(v).hasMatch() ? v : QString();
}

} // namespace

Rule ruleFor(const QString &name)
{
    static const QHash<QString, Rule> rules = [] {
        QHash<QString, Rule> r;
        const auto add = [&r](QLatin1StringView names, Kind kind, QLatin1StringView ours = {}) {
            for (const QString &element : QString(names).split(u' '))
                r.insert(element, {kind, ours});
        };
        add("b strong"_L1, Kind::Inline, "b"_L1);
        add("i em cite"_L1, Kind::Inline, "i"_L1);
        add("u ins"_L1, Kind::Inline, "u"_L1);
        add("s strike del"_L1, Kind::Inline, "s"_L1);
        for (const auto same : {"big"_L1, "small"_L1, "sub"_L1, "sup"_L1, "span"_L1})
            add(same, Kind::Inline, same);
        for (const auto same :
             {"p"_L1, "div"_L1, "center"_L1, "h1"_L1, "h2"_L1, "h3"_L1, "h4"_L1, "h5"_L1, "h6"_L1})
            add(same, Kind::Block, same);
        add("li pre"_L1, Kind::Block, "p"_L1);
        add("font"_L1, Kind::Font, "font"_L1);
        add("a"_L1, Kind::Link, "a"_L1);
        add("br"_L1, Kind::Break, "br"_L1);
        add("table"_L1, Kind::Table, "table"_L1);
        add("tr"_L1, Kind::Row, "tr"_L1);
        add("td"_L1, Kind::Cell, "td"_L1);
        add("th"_L1, Kind::Cell, "th"_L1);
        add("script style title textarea iframe noembed noframes xmp"_L1, Kind::Drop);
        add("head object applet svg math select button template noscript audio video canvas "
            "map picture frameset datalist"_L1,
            Kind::Drop);
        return r;
    }();
    return rules.value(name);
}

QString keptAttributes(const Element &element, Kind kind, const QUrl &base)
{
    QString kept;
    const auto add = [&kept](QLatin1StringView name, QStringView value) {
        kept += u' ';
        kept += name;
        kept += u"=\"";
        appendEscaped(kept, value);
        kept += u'"';
    };
    for (const Attribute &a : element.attributes) {
        if (kind == Kind::Link && a.name == u"href") {
            const QUrl target = base.resolved(QUrl(a.value.trimmed()));
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

void appendEscaped(QString &out, QStringView text)
{
    for (const QChar c : text) {
        if (c == u'<')
            out += u"&lt;";
        else if (c == u'>')
            out += u"&gt;";
        else if (c == u'"')
            out += u"&quot;";
        else if (c == u'&')
            out += u"&amp;";
        else if (c.unicode() != 0)
            out += c;
    }
}

} // namespace AdPageFilter
