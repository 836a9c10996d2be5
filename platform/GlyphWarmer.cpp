#include "GlyphWarmer.h"

#include <QTextLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <bitset>
#include <utility>

namespace {

// Laid out at a time: well under a millisecond, so input is not held up.
constexpr qsizetype kBatch = 48;
constexpr qsizetype kCheckEvery = 1 << 20;
constexpr int kDelayMs = 300;

// The distinct characters of the text, in code order (surrogate pairs left
// out: they are rare in novels).
QString distinctCharacters(const QString &text, const std::atomic_bool &cancelled)
{
    auto seen = std::make_unique<std::bitset<0x10000>>();
    const auto *s = text.utf16();
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (at % kCheckEvery == 0 && cancelled)
            return {};
        (*seen)[s[at]] = true;
    }
    QString characters;
    for (char32_t c = 0x21; c < 0x10000; ++c) {
        if (seen->test(c) && !QChar::isSurrogate(c) && !QChar(c).isSpace())
            characters += QChar(c);
    }
    return characters;
}

} // namespace

GlyphWarmer::GlyphWarmer(QObject *parent) : QObject(parent)
{
    // Not before the first page is up: the collection would compete with it.
    m_delay.setSingleShot(true);
    m_delay.setInterval(kDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &GlyphWarmer::collect);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &GlyphWarmer::warmSome);
    connect(&m_collecting, &QFutureWatcher<QString>::finished, this, [this] {
        if (m_collecting.future().resultCount() == 0)
            return;
        m_characters = m_collecting.result();
        m_next = 0;
        m_timer.start();
    });
}

// A collection still running holds only its own copies, and soon ends.
GlyphWarmer::~GlyphWarmer() = default;

void GlyphWarmer::warm(const QString &text, const QFont &font)
{
    stop();
    m_text = text;
    m_font = font;
    m_delay.start();
}

void GlyphWarmer::collect()
{
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    m_collecting.setFuture(
        QtConcurrent::run([text = std::exchange(m_text, QString()), cancelled = m_cancelled] {
            return distinctCharacters(text, *cancelled);
        }));
}

void GlyphWarmer::stop()
{
    if (m_cancelled)
        *m_cancelled = true;
    m_collecting.setFuture(QFuture<QString>());
    m_delay.stop();
    m_text.clear();
    m_timer.stop();
    m_characters.clear();
}

void GlyphWarmer::warmSome()
{
    QTextLayout layout(m_characters.mid(m_next, kBatch), m_font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    m_next += kBatch;
    if (m_next >= m_characters.size()) {
        m_timer.stop();
        m_characters.clear();
    }
}
