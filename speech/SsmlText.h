#pragma once

#include <QByteArray>
#include <QString>

// One piece of the text as SSML for Speech Dispatcher, with an index mark
// before every word: before each Han character (as eSpeak reports them) and
// before each run of letters or digits elsewhere. A mark is named by the
// word's UTF-16 offset from `from`, so it maps straight to the caret.
// Characters that XML cannot carry become blanks; the rest is escaped.
namespace SsmlText {

QByteArray forPiece(const QString &text, qsizetype begin, qsizetype end, qsizetype from);

// The offset a mark name stands for; -1 for a name that is not one of ours.
qint32 markOffset(const char *name);

} // namespace SsmlText
