#pragma once

#include "AudioSink.h"
#include "SpeechQueue.h"

#include <cstdint>
#include <functional>
#include <vector>

// The player thread's work: hands the synthesized audio of the current
// session to the sound output, and reports each word when its first sample
// is heard. When nothing is to be played it sleeps until woken.
class AudioPlayer
{
public:
    // The session, the word's offset from the job's `from`, and when its
    // first sample was heard (steady clock, ns); kEndOfText once all of the
    // session's text was heard.
    using WordCallback =
        std::function<void(std::uint64_t session, qint32 position, std::int64_t heardAtNs)>;
    static constexpr qint32 kEndOfText = -1;

    AudioPlayer(SpeechQueue &queue, int sampleRate, WordCallback onWord);

    // Until the queue says quit.
    void run();

private:
    struct Due {
        qint32 position;
        std::int64_t heardAtNs;
    };

    bool followSession();
    void handOnAudio();
    void reportHeardWords();
    void waitForWork();

    SpeechQueue &m_queue;
    const int m_rate;
    WordCallback m_onWord;
    AudioSink m_sink;
    std::uint64_t m_playing = 0; // session the sink plays
    qint64 m_handed = 0;         // samples of that session handed on
    qint64 m_sinkBase = 0;       // of those, before the sink's session began
    bool m_tailFlushed = false;
    bool m_firstHanded = false;
    int m_underflows = 0;
    std::vector<std::int16_t> m_chunk;
    std::vector<Due> m_due;
};
