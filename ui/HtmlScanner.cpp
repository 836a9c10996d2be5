#include "HtmlScanner.h"

using namespace Qt::Literals::StringLiterals;

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u':';
}

} // namespace

QStringView HtmlScanner::text()
{
    const qsizetype lt = m_in.indexOf(u'<', m_at);
    const qsizetype end = lt < 0 ? m_in.size() : lt;
    const QStringView piece = m_in.sliced(m_at, end - m_at);
    m_at = end;
    return piece;
}

bool HtmlScanner::tag(HtmlTag &tag)
{
    if (m_in.sliced(m_at).startsWith(u"<!--")) {
        skipPast(u"-->");
        tag = HtmlTag();
        return true;
    }
    qsizetype i = m_at + 1;
    const qsizetype n = m_in.size();
    if (i < n && (m_in[i] == u'!' || m_in[i] == u'?')) { // doctype, processing
        skipPast(u">");
        tag.name.clear();
        tag.end = true;
        return true;
    }
    if (i < n && m_in[i] == u'/') {
        tag.end = true;
        ++i;
    }
    if (i >= n || !m_in[i].isLetter()) {
        ++m_at;
        return false;
    }
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
        HtmlAttribute attribute{m_in.sliced(attrStart, i - attrStart).toString().toLower(),
                                QString()};
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

void HtmlScanner::skipPast(QStringView marker)
{
    const qsizetype found = m_in.indexOf(marker, m_at + 1);
    m_at = found < 0 ? m_in.size() : found + marker.size();
}

// Raw text ends at the first end tag of its element.
void HtmlScanner::skipRawText(QStringView name)
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
void HtmlScanner::skipElement(QStringView name)
{
    int depth = 1;
    while (depth > 0 && m_at < m_in.size()) {
        const qsizetype lt = m_in.indexOf(u'<', m_at);
        if (lt < 0) {
            m_at = m_in.size();
            return;
        }
        m_at = lt;
        HtmlTag tag;
        if (this->tag(tag) && tag.name == name)
            depth += tag.end ? -1 : 1;
    }
}

QString decodeEntities(QStringView v)
{
    QString out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] != u'&') {
            out += v[i];
            continue;
        }
        const qsizetype semi = v.indexOf(u';', i);
        const QStringView ref = semi > i && semi - i <= 10 ? v.sliced(i + 1, semi - i - 1)
                                                           : QStringView();
        char32_t code = 0;
        if (ref == u"amp")
            code = u'&';
        else if (ref == u"lt")
            code = u'<';
        else if (ref == u"gt")
            code = u'>';
        else if (ref == u"quot")
            code = u'"';
        else if (ref == u"apos")
            code = u'\'';
        else if (ref.startsWith(u"#x") || ref.startsWith(u"#X"))
            code = ref.sliced(2).toUInt(nullptr, 16);
        else if (ref.startsWith(u'#'))
            code = ref.sliced(1).toUInt();
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
            while (j < text.size() && j - i <= 10
                   && (text[j].isLetterOrNumber() || text[j] == u'#'))
                ++j;
            const bool reference = keepEntities && j > i + 1 && j < text.size() && text[j] == u';';
            out += reference ? u"&"_s : u"&amp;"_s;
        } else if (c.unicode() != 0) {
            out += c;
        }
    }
}
