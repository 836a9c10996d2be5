// Any bytes as the advertisement page: the reduced page holds only the
// elements and attributes the filter writes, links only to web pages, and
// tables at most two deep.
#include "platform/AdPageFilter.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

namespace {
const QRegularExpression kTag(
    R"(<(/?)(html|body|[biusp]|big|small|sub|sup|span|div|center|h[1-6]|font|a|br|table|tr|t[dh])((?: (?:href="https?://|(?:color|bgcolor|text|align|style)=")[^"]*")*)>|<)");
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString page = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    int tables = 0;
    for (const QRegularExpressionMatch &m :
         kTag.globalMatch(AdPageFilter::reduce(page, QUrl("http://ads.example/")))) {
        if (m.captured(2).isEmpty())
            std::abort(); // a '<' that starts nothing of ours
        tables += m.captured(2) != QLatin1String("table") ? 0 : m.captured(1).isEmpty() ? 1 : -1;
        if (tables > AdPageFilter::kMaxTableDepth)
            std::abort();
    }
    return 0;
}
