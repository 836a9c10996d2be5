#include "WordEventFilter.h"

std::optional<qsizetype> WordEventFilter::accept(const SpeechSegmenter::Segment &segment,
                                                 int textPosition, int length)
{
    const qsizetype codePoints = qsizetype(segment.codePointOffsets.size()) - 1;
    if (textPosition < 1 || textPosition > codePoints)
        return std::nullopt;
    qsizetype offset = segment.codePointOffsets[size_t(textPosition - 1)];
    if (length == 0 && offset < m_last)
        return std::nullopt;
    // A word reported at the blank (or line break) before it starts after it.
    while (offset < segment.end && m_text.at(offset).isSpace())
        ++offset;
    if (offset >= segment.end || offset <= m_last)
        return std::nullopt;
    m_last = offset;
    return offset;
}
