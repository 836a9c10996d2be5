#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// Cuts the text to be spoken into short pieces as it goes: after line
// breaks and sentence ends, and inside long runs without punctuation (the
// engine drops word events in runs of more than about 150 Han characters).
// Nothing is converted or cut ahead of what is asked for, so speaking the
// rest of a long document starts as fast as speaking a line.
class SpeechSegmenter
{
public:
    // A run without punctuation is cut after this many characters.
    static constexpr qsizetype kMaxRun = 100;
    // No piece is longer than this (UTF-16 units), whatever its content.
    static constexpr qsizetype kMaxPiece = 400;

    struct Segment {
        qsizetype begin = 0; // UTF-16 offsets into the whole text
        qsizetype end = 0;
        QByteArray utf8; // NUL-terminated, as the engine reads it
        // UTF-16 offset (into the whole text) of each code point of utf8,
        // plus one past the last.
        std::vector<qsizetype> codePointOffsets;
    };

    SpeechSegmenter(const QString &text, qsizetype from);

    // The next piece, or nothing at the end of the text.
    std::optional<Segment> next();

private:
    qsizetype findEnd(qsizetype begin) const;
    Segment make(qsizetype begin, qsizetype end) const;

    const QString m_text; // shared with the caller, never detached
    qsizetype m_pos;
};
