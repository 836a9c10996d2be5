#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>

// What of a web page the advertisement panel keeps, element by element
// and attribute by attribute.
namespace AdPageFilter {

struct Attribute {
    QString name;  // lower case
    QString value; // character references decoded
};

struct Element {
    QString name;                // lower case
    QList<Attribute> attributes; // the first 16
};

enum class Kind {
    Ignore, // the tag goes, its content stays
    Drop,   // goes with everything inside it
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
    Kind kind = Kind::Ignore;
    QLatin1StringView ours; // the element written for it
};

// Every element not named in the rules (img, input, link, ...) goes, its
// content kept.
Rule ruleFor(const QString &name);

// The attributes kept for an element of that kind, written out; links are
// resolved against base and kept only when they lead to a web page.
QString keptAttributes(const Element &element, Kind kind, const QUrl &base);

// Text or an attribute value made safe to put into markup.
void appendEscaped(QString &out, QStringView text);

} // namespace AdPageFilter
