#pragma once

#include "SpeechSegmenter.h"

#include <QString>

#include <optional>

// Turns the engine's word events for one piece into word starts in the
// whole text, and drops its known slips: a position 0, a zero-length event
// that jumps back, a word reported at the blank before it, and repeats.
// Within one utterance the result never goes backwards.
class WordEventFilter
{
public:
    explicit WordEventFilter(const QString &text) : m_text(text) {}

    // textPosition: 1-based code point in the piece, as the engine reports.
    // Returns the UTF-16 offset into the whole text of the word's first
    // character, or nothing when the event is to be dropped.
    std::optional<qsizetype> accept(const SpeechSegmenter::Segment &segment, int textPosition,
                                    int length);

private:
    const QString m_text; // shared with the caller, never detached
    qsizetype m_last = -1;
};
