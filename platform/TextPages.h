#pragma once

#include <QChar>

// The memory pages under a big text while it is decoded: the file and its
// text are never both in memory, nor the text twice.
namespace TextPages {

// Brings in the whole pages in [data, data + bytes) at once, before they are
// written: cheaper than a fault for each. (Huge pages are not asked for:
// finding one can stall the first write for longer than the decoding takes.)
void prepare(void *data, qsizetype bytes);
// Gives back the whole pages in [data, data + bytes): a mapped file's once
// decoded (the page cache keeps them, should they be read again), and the
// result's stretches that hold nothing of it any more.
void drop(const void *data, qsizetype bytes);
// Moves n characters down from `from` to `to`, giving back the source's
// pages that the move has left behind; in two threads when the text lies
// so far above its place that the halves cannot meet.
void moveDown(QChar *to, QChar *from, qsizetype n);

} // namespace TextPages
