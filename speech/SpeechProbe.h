#pragma once

#include <QtGlobal>

// Measuring points of the speech path, for benchmarks and tests; the
// program itself sets none. Called on the engine's threads, so an
// implementation keeps its own lock.
class SpeechProbe
{
public:
    virtual ~SpeechProbe() = default;

    // The first samples of a session went to the output.
    virtual void firstSampleHanded(bool throughServer) { Q_UNUSED(throughServer) }
    // The output fell silent after a purge.
    virtual void silenced() {}
    // The sound server ran out of audio while more was still to come.
    virtual void gap() {}
    // Samples synthesized in the current session so far.
    virtual void synthesized(qint64 sessionSamples) { Q_UNUSED(sessionSamples) }
};
