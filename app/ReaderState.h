#pragma once

#include "app/AppSettings.h"

// The settings record and the two reading-mode flags (0 off, 1 on; at most
// one of them on). Owned by the main window, shared by its parts.
struct ReaderState {
    AppSettingsRecord AppSettings;
    qint16 ReadingFlag = 0;
    qint16 AutoTurnFlag = 0;
};
