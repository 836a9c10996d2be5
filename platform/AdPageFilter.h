#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>

// Reduces a web page to rich text that cannot hurt the window: text, links
// to web pages, line breaks, paragraphs, headings, bold, italic, underline,
// colours and small tables at most two levels deep. Scripts, styles, frames,
// objects, forms, images and every other reference to a resource are
// dropped with their content; unknown markup is dropped and its text kept.
//
// The page is parsed by libxml2's HTML parser, which never touches the
// network and gives up past 256 levels of nesting (the rest of such a page
// is lost). One pass over its tree without recursion, with caps on open
// elements, kept elements and text, so the result lays out quickly.
namespace AdPageFilter {

inline constexpr int kMaxDepth = 24;
inline constexpr int kMaxTableDepth = 2;
inline constexpr int kMaxElements = 2000;
// Table layout costs far more per cell and per line than plain text; a
// banner needs few of either.
inline constexpr int kMaxCells = 32;
inline constexpr int kMaxRows = 8;
inline constexpr int kMaxColumns = 8;
inline constexpr qsizetype kMaxCellText = 256;
inline constexpr qsizetype kMaxText = 4096;

// The reduced page as HTML for QTextDocument::setHtml. Relative links are
// resolved against base.
QString reduce(QStringView html, const QUrl &base);

} // namespace AdPageFilter
