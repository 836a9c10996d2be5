#pragma once

#include "DispatcherClient.h"

#include <libspeechd.h>

#include <optional>

namespace DispatcherVoices {

// The voices of every module of the service but the engines this program
// speaks through itself; nothing when the service does not answer.
std::optional<QList<DispatcherClient::Voice>> list(SPDConnection *connection);

} // namespace DispatcherVoices
