#include "SsmlText.h"

#include <QStringView>

namespace SsmlText {
namespace {

bool startsWord(char32_t c, char32_t before)
{
    if (QChar::script(c) == QChar::Script_Han)
        return true;
    const auto wordChar = [](char32_t x) {
        return QChar::isLetterOrNumber(x) && QChar::script(x) != QChar::Script_Han;
    };
    return wordChar(c) && !wordChar(before);
}

// XML 1.0 has no place for most control characters, lone surrogate halves
// or the two non-characters at the end of the plane.
bool xmlCanCarry(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c < 0xD800)
           || (c >= 0xE000 && c < 0xFFFE) || (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

QByteArray forPiece(const QString &text, qsizetype begin, qsizetype end, qsizetype from)
{
    QString ssml = QStringLiteral("<speak>");
    char32_t before = u' ';
    for (qsizetype i = begin; i < end;) {
        char32_t c = text[i].unicode();
        qsizetype length = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < end && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            length = 2;
        } else if (QChar::isSurrogate(c)) {
            c = 0; // half a pair: nothing to say
        }
        if (startsWord(c, before))
            ssml += QStringLiteral("<mark name=\"%1\"/>").arg(i - from);
        switch (c) {
        case u'<': ssml += u"&lt;"; break;
        case u'>': ssml += u"&gt;"; break;
        case u'&': ssml += u"&amp;"; break;
        case u'"': ssml += u"&quot;"; break;
        case u'\'': ssml += u"&apos;"; break;
        default:
            ssml += xmlCanCarry(c) ? QStringView(text).sliced(i, length).toString()
                                   : QStringLiteral(" ");
        }
        before = c;
        i += length;
    }
    ssml += QStringLiteral("</speak>");
    return ssml.toUtf8();
}

qint32 markOffset(const char *name)
{
    bool ok = false;
    const qint32 offset = QByteArray(name ? name : "").toInt(&ok);
    return ok && offset >= 0 ? offset : -1;
}

} // namespace SsmlText
