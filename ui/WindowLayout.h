#pragma once

#include <QRect>
#include <QSize>

#include <optional>

// Where the view and the file-name label go for a client size: the view
// fills the width and the height below the tool band, and the label keeps
// its right edge at a fixed distance from the window's. A negative size
// leaves that control as it was (no value).
struct WindowLayout {
    std::optional<QRect> view;
    std::optional<int> captionWidth;
};

WindowLayout layoutForClientSize(QSize client);
