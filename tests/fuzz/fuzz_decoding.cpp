// Any bytes as a document: decoding never fails, and the text holds no NUL
// and no CR (every line break is one "\n"). The fast GB18030 decoder gives
// what QStringDecoder gives.
#include "platform/Gb18030Decoder.h"
#include "platform/TextDecoding.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = TextDecoding::decode(QByteArrayView(data, qsizetype(size)));
    if (text.contains(QChar(0)) || text.contains(u'\r'))
        std::abort();
    const QByteArrayView bytes(data, qsizetype(size));
    QString fast(bytes.size() + 1, Qt::Uninitialized);
    const auto decoded = Gb18030Decoder::decode(bytes, fast.data(), [](QByteArrayView) {});
    fast.truncate(decoded.end - fast.constData());
    QStringDecoder reference("GB18030", QStringDecoder::Flag::ConvertInitialBom);
    if (!decoded.ok || fast != reference.decode(bytes))
        std::abort();
    return 0;
}
