#include "TextPages.h"

#include <sys/mman.h>

#include <cstring>
#include <thread>

namespace TextPages {
namespace {

// Characters moved at a time; then the pages left behind go back. Small,
// so that little is held twice while two threads move.
constexpr qsizetype kSlice = 1024 * 1024;

void moveDownInOne(QChar *to, QChar *from, qsizetype n)
{
    for (qsizetype at = 0; at < n; at += kSlice) {
        const qsizetype count = qMin(kSlice, n - at);
        prepare(to + at, count * qsizetype(sizeof(QChar)));
        std::memmove(to + at, from + at, size_t(count) * sizeof(QChar));
        const QChar *freed = qMax(from + at, to + at + count);
        drop(freed, (from + at + count - freed) * qsizetype(sizeof(QChar)));
    }
}

// The advice for the whole pages in [data, data + bytes).
void advise(const void *data, qsizetype bytes, int advice)
{
    const auto page = quintptr(4096);
    const quintptr begin = (quintptr(data) + page - 1) & ~(page - 1);
    const quintptr end = (quintptr(data) + quintptr(qMax<qsizetype>(0, bytes))) & ~(page - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, advice);
}

} // namespace

void prepare(void *data, qsizetype bytes)
{
    // Older kernels refuse it; the pages then come one fault at a time.
    advise(data, bytes, MADV_POPULATE_WRITE);
}

void drop(const void *data, qsizetype bytes)
{
    advise(data, bytes, MADV_DONTNEED);
}

void moveDown(QChar *to, QChar *from, qsizetype n)
{
    if (to == from)
        return;
    // The second half is written below the first one's source, and only
    // whole pages inside a half's source are given back.
    if (n < 4 * kSlice || from - to < n) {
        moveDownInOne(to, from, n);
        return;
    }
    const qsizetype half = n / 2;
    std::thread helper(moveDownInOne, to + half, from + half, n - half);
    moveDownInOne(to, from, half);
    helper.join();
}

} // namespace TextPages
