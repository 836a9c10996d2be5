#pragma once

#include <QString>

#include <functional>

// Qt's platform plugins end the process when the connection to the display
// breaks (the X server or the Wayland compositor gone), with a warning
// first. That warning is the last moment to save anything; nothing done
// then may wait for the display.
namespace DisplayLoss {

// Whether a message of Qt's says that the display's connection broke.
bool isLossMessage(const QString &message);

// From now on, on such a message (on whichever thread reports it): save,
// then end with status 1. Other messages go to the handler before.
void watch(std::function<void()> save, std::function<void(int)> end);

} // namespace DisplayLoss
