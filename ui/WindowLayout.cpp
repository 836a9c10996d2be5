#include "WindowLayout.h"

#include "ControlSet.h"

namespace {

constexpr int kViewTop = 1350 / ControlSet::kTwipsPerPixel;
// Distance from the label's left edge to the window's right edge.
constexpr int kCaptionAllowance = 6615 / ControlSet::kTwipsPerPixel
                                  - 120 / ControlSet::kTwipsPerPixel;

} // namespace

WindowLayout layoutForClientSize(QSize client)
{
    WindowLayout layout;
    const int viewHeight = client.height() - kViewTop;
    if (client.width() >= 0 && viewHeight >= 0)
        layout.view = QRect(0, kViewTop, client.width(), viewHeight);
    const int captionWidth = client.width() - kCaptionAllowance;
    if (captionWidth >= 0)
        layout.captionWidth = captionWidth;
    return layout;
}
