// Any bytes as the advertisement page: the reduced page holds only the
// elements the filter writes, tables at most two deep, and links only to
// web pages.
#include "platform/AdPageFilter.h"

#include <QRegularExpression>
#include <QSet>

#include <cstdint>
#include <cstdlib>

namespace {
const QSet<QString> kOurs = {"html",  "body", "b",     "i",    "u",  "s",   "big",
                             "small", "sub",  "sup",   "span", "p",  "div", "center",
                             "h1",    "h2",   "h3",    "h4",   "h5", "h6",  "font",
                             "a",     "br",   "table", "tr",   "td", "th"};
const QSet<QString> kAttributes = {"href", "color", "bgcolor", "text", "align", "style"};
const QRegularExpression kTag(R"(<(/?)([^\s>/]*)([^>]*)>)");
const QRegularExpression kAttribute(R"re(\s([^\s=]+)="([^"]*)")re");

bool harmless(const QString &attributes)
{
    QString rest = attributes;
    for (const QRegularExpressionMatch &m : kAttribute.globalMatch(attributes)) {
        const bool web = m.captured(2).startsWith("http://")
                         || m.captured(2).startsWith("https://");
        if (!kAttributes.contains(m.captured(1)) || (m.captured(1) == "href" && !web))
            return false;
        rest.remove(m.captured(0));
    }
    return rest.trimmed().isEmpty();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString page = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString kept = AdPageFilter::reduce(page, QUrl("http://ads.example/ads/a.htm"));
    int tables = 0;
    for (const QRegularExpressionMatch &m : kTag.globalMatch(kept)) {
        if (!kOurs.contains(m.captured(2)) || !harmless(m.captured(3)))
            std::abort();
        if (m.captured(2) == QLatin1String("table"))
            tables += m.captured(1).isEmpty() ? 1 : -1;
        if (tables > AdPageFilter::kMaxTableDepth)
            std::abort();
    }
    return 0;
}
