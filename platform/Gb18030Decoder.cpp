#include "Gb18030Decoder.h"

#include "TextPages.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace Gb18030Decoder {
namespace {

constexpr qsizetype kSlice = 4 * 1024 * 1024;

struct Found {
    bool differs = false;
    bool breaksOrNul = false;
};

// What the text holds that matters, eight characters at a time (this runs
// over every character, right after they are written).
Found scan(const QChar *begin, const QChar *end)
{
    using Lanes = quint16 __attribute__((vector_size(16)));
    using Mask = qint16 __attribute__((vector_size(16)));
    const auto all = [](quint16 v) { return Lanes{v, v, v, v, v, v, v, v}; };
    const auto differs = [&all](Lanes u) {
        return Mask(u - all(0x9FB4) < all(8)) | Mask(u - all(0xFE10) < all(10))
               | Mask(u - all(0xD840) < all(0x11));
    };
    const auto special = [&all](Lanes u) { return Mask(u == all(u'\r')) | Mask(u == all(0)); };
    Mask foundDiffers{};
    Mask foundSpecial{};
    const qsizetype n = end - begin;
    qsizetype at = 0;
    for (; at + 8 <= n; at += 8) {
        Lanes u;
        std::memcpy(&u, begin + at, sizeof u);
        foundDiffers |= differs(u);
        foundSpecial |= special(u);
    }
    Lanes tail = all(u' '); // lanes past the end count as nothing
    std::memcpy(&tail, begin + at, size_t(n - at) * sizeof(QChar));
    foundDiffers |= differs(tail);
    foundSpecial |= special(tail);
    Found found;
    for (int lane = 0; lane < 8; ++lane) {
        found.differs |= foundDiffers[lane] != 0;
        found.breaksOrNul |= foundSpecial[lane] != 0;
    }
    return found;
}

} // namespace

Result decode(QByteArrayView bytes, QChar *out, const std::function<void(QByteArrayView)> &consumed)
{
    Result result;
    result.end = out;
    const char *to = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-16LE" : "UTF-16BE";
    const iconv_t cd = ::iconv_open(to, "GB18030");
    if (cd == iconv_t(-1))
        return result;
    char *in = const_cast<char *>(bytes.data());
    char *const inEnd = in + bytes.size();
    char *written = reinterpret_cast<char *>(out);
    size_t room = size_t(bytes.size()) * sizeof(QChar);
    bool ok = true;
    while (ok && in < inEnd) {
        char *const sliceStart = in;
        size_t left = size_t(qMin<qsizetype>(kSlice, inEnd - in));
        const bool last = in + left == inEnd;
        // Chinese text takes as many bytes decoded as it did encoded.
        TextPages::prepare(written, qsizetype(qMin(left, room)));
        // A character cut by the slice's end is finished in the next one.
        if (::iconv(cd, &in, &left, &written, &room) == size_t(-1))
            ok = errno == EINVAL && !last && in > sliceStart;
        consumed(QByteArrayView(sliceStart, in - sliceStart));
        const QChar *sliceOut = result.end;
        result.end = reinterpret_cast<QChar *>(written);
        const Found found = scan(sliceOut, result.end);
        ok = ok && !found.differs;
        result.hasBreaksOrNul |= found.breaksOrNul;
    }
    ::iconv_close(cd);
    result.ok = ok;
    return result;
}

} // namespace Gb18030Decoder
