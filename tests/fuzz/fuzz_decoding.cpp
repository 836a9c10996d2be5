// Any bytes as a document: decoding never fails, and the text holds no NUL
// and no CR (every line break is one "\n").
#include "platform/TextDecoding.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = TextDecoding::decode(QByteArrayView(data, qsizetype(size)));
    if (text.contains(QChar(0)) || text.contains(u'\r'))
        std::abort();
    return 0;
}
