#pragma once

#include <QString>

// One installed voice, as the voice list enumerates it.
struct VoiceToken {
    QString id;          // what the engine selects the voice by
    QString description; // display name
    QString GetDescription() const { return description; }
};
