#pragma once

#include "HtmlScanner.h"

#include <QUrl>

// What of a web page the advertisement panel keeps, element by element
// and attribute by attribute.
namespace AdPageFilter {

enum class Kind {
    Ignore,  // the tag goes, its content stays
    Drop,    // goes with everything inside it
    RawText, // its content is not markup; goes with it
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
QString keptAttributes(const HtmlTag &tag, Kind kind, const QUrl &base);

} // namespace AdPageFilter
