#pragma once

#include <QList>
#include <QString>
#include <QStringView>

struct HtmlAttribute {
    QString name;  // lower case
    QString value; // character references decoded
};

struct HtmlTag {
    QString name; // lower case; empty for a comment, doctype and the like
    bool end = false;
    QList<HtmlAttribute> attributes; // the first 16
};

// Reads markup from front to back, one piece at a time, never looking
// back: so any page costs time in proportion to its length.
class HtmlScanner
{
public:
    explicit HtmlScanner(QStringView html) : m_in(html) {}

    bool atEnd() const { return m_at >= m_in.size(); }
    // The text up to the next '<' (possibly none).
    QStringView text();
    // What starts at '<': a tag or a comment (true), or a lone '<', taken
    // as text (false).
    bool tag(HtmlTag &tag);
    // Past the end tag of an element whose content is not markup (script).
    void skipRawText(QStringView name);
    // Past the matching end tag, counting elements of the same name inside.
    void skipElement(QStringView name);

private:
    void skipPast(QStringView marker);

    QStringView m_in;
    qsizetype m_at = 0;
};

QString decodeEntities(QStringView text);
// Text or an attribute value made safe to put into markup; with
// keepReferences, well-formed character references stay for the parser.
void appendEscaped(QString &out, QStringView text, bool keepReferences);
