#include "SpeechSegmenter.h"

namespace {

bool isSentenceEnd(char32_t c)
{
    switch (c) {
    case U'。':
    case U'！':
    case U'？':
    case U'；':
    case U'…':
    case U'!':
    case U'?':
    case U';':
    case U'.': return true;
    default: return false;
    }
}

// Marks where a long sentence may be cut without harm.
bool isPause(char32_t c)
{
    switch (c) {
    case U'，':
    case U'、':
    case U'：':
    case U',':
    case U':': return true;
    default: return false;
    }
}

// Closing marks that belong to the sentence before them.
bool isClosing(char32_t c)
{
    switch (c) {
    case U'”':
    case U'’':
    case U'」':
    case U'』':
    case U'）':
    case U'》':
    case U'"':
    case U'\'':
    case U')':
    case U']': return true;
    default: return false;
    }
}

char32_t codePointAt(const QString &text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[i + 1]);
    return c.unicode();
}

qsizetype codePointLength(const QString &text, qsizetype i)
{
    return (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                              : 1;
}

} // namespace

SpeechSegmenter::SpeechSegmenter(const QString &text, qsizetype from)
    : m_text(text), m_pos(qBound<qsizetype>(0, from, text.size()))
{}

qsizetype SpeechSegmenter::findEnd(qsizetype begin) const
{
    const qsizetype size = m_text.size();
    const auto skipClosing = [&](qsizetype i) {
        while (i < size && isClosing(codePointAt(m_text, i)))
            i += codePointLength(m_text, i);
        return i;
    };
    qsizetype i = begin;
    qsizetype han = 0;
    qsizetype lastPause = -1; // just after a comma or colon
    qsizetype lastSpace = -1; // just after a blank
    while (i < size) {
        const char32_t c = codePointAt(m_text, i);
        const qsizetype len = codePointLength(m_text, i);
        if (c == U'\n' || c == U'\u2029')
            return i + len;
        // A full stop inside "3.14" or "e.g" is not the end of a sentence.
        if (isSentenceEnd(c)
            && (c != U'.' || i + len >= size || QChar::isSpace(codePointAt(m_text, i + len)))) {
            i = skipClosing(i + len);
            while (i < size && isSentenceEnd(codePointAt(m_text, i)))
                i = skipClosing(i + codePointLength(m_text, i));
            // Blank lines after it belong to it: no piece of blanks alone.
            while (i < size && m_text[i].isSpace())
                ++i;
            return i;
        }
        i += len;
        if (isPause(c))
            lastPause = skipClosing(i);
        else if (QChar::isSpace(c))
            lastSpace = i;
        else if (QChar::script(c) == QChar::Script_Han)
            ++han;
        if (han >= kMaxRun)
            return lastPause > begin ? lastPause : i;
        if (i - begin >= kMaxPiece)
            return lastPause > begin ? lastPause : (lastSpace > begin ? lastSpace : i);
    }
    return size;
}

std::optional<SpeechSegmenter::Segment> SpeechSegmenter::next()
{
    if (m_pos >= m_text.size())
        return std::nullopt;
    const qsizetype begin = m_pos;
    m_pos = findEnd(begin);
    return make(begin, m_pos);
}

SpeechSegmenter::Segment SpeechSegmenter::make(qsizetype begin, qsizetype end) const
{
    Segment segment;
    segment.begin = begin;
    segment.end = end;
    segment.codePointOffsets.reserve(size_t(end - begin) + 1);
    QString clean;
    clean.reserve(end - begin);
    for (qsizetype i = begin; i < end;) {
        const char32_t c = codePointAt(m_text, i);
        const qsizetype len = codePointLength(m_text, i);
        segment.codePointOffsets.push_back(i);
        if (len == 1 && QChar(c).isSurrogate()) {
            clean += QChar::ReplacementCharacter; // a lone half of a pair
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029) {
            clean += u' '; // control characters mean nothing to say
        } else {
            clean += m_text.mid(i, len);
        }
        i += len;
    }
    segment.codePointOffsets.push_back(end);
    segment.utf8 = clean.toUtf8();
    return segment;
}
