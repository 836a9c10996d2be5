#include "AudioPlayer.h"

#include "SpeechProbe.h"

#include <algorithm>
#include <chrono>

namespace {

// The player's pace while it plays; also how late a word can be reported.
constexpr int kTickUs = 4000;
// 20 ms: too short to hear what is cut off at the end.
constexpr int kEndSlackDivisor = 50;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

AudioPlayer::AudioPlayer(SpeechQueue &queue, int sampleRate, WordCallback onWord)
    : m_queue(queue),
      m_rate(sampleRate),
      m_onWord(std::move(onWord)),
      m_sink(sampleRate, queue.wakeFd)
{}

void AudioPlayer::run()
{
    while (followSession()) {
        handOnAudio();
        reportHeardWords();
        waitForWork();
    }
    m_sink.endSession();
}

// A purge silences the output at once; new audio opens it again. False
// once the engine quits.
bool AudioPlayer::followSession()
{
    bool stop = false;
    bool start = false;
    {
        std::lock_guard lock(m_queue.mutex);
        if (m_queue.quit)
            return false;
        const bool newSession = m_playing != m_queue.session;
        stop = m_sink.inSession() && newSession;
        start = !m_queue.audio.empty() && (!m_sink.inSession() || newSession);
        if (newSession) {
            m_playing = m_queue.session;
            m_handed = 0;
            m_firstHanded = false;
        }
    }
    if (stop) {
        m_sink.endSession();
        if (m_queue.probe)
            m_queue.probe->silenced();
    }
    if (start) {
        m_sink.beginSession();
        m_sinkBase = m_handed;
        m_tailFlushed = false;
    }
    return true;
}

void AudioPlayer::handOnAudio()
{
    if (!m_sink.inSession())
        return;
    const qint64 room = m_sink.writable();
    int volume = 100;
    bool idle = false;
    m_chunk.clear();
    {
        std::lock_guard lock(m_queue.mutex);
        if (m_playing == m_queue.session && room > 0 && !m_queue.audio.empty()) {
            const auto take = std::min<std::size_t>(std::size_t(room), m_queue.audio.size());
            m_chunk.assign(m_queue.audio.begin(), m_queue.audio.begin() + std::ptrdiff_t(take));
            m_queue.audio.erase(m_queue.audio.begin(),
                                m_queue.audio.begin() + std::ptrdiff_t(take));
        }
        volume = m_queue.volume;
        idle = m_queue.idle();
    }
    if (!m_chunk.empty()) {
        m_queue.space.notify_all();
        if (volume < 100) {
            for (auto &sample : m_chunk)
                sample = std::int16_t(int(sample) * volume / 100);
        }
        m_sink.write(m_chunk.data(), qint64(m_chunk.size()));
        m_handed += qint64(m_chunk.size());
        m_tailFlushed = false;
        if (!m_firstHanded && m_queue.probe)
            m_queue.probe->firstSampleHanded(m_sink.usingServer());
        m_firstHanded = true;
    }
    if (m_sink.underflows() != m_underflows) {
        m_underflows = m_sink.underflows();
        if (!idle && m_queue.probe)
            m_queue.probe->gap();
    }
    // The end of the text: play what is buffered even below the threshold.
    if (idle && !m_tailFlushed) {
        m_sink.flushTail();
        m_tailFlushed = true;
    }
}

void AudioPlayer::reportHeardWords()
{
    if (!m_sink.inSession())
        return;
    const qint64 heard = m_sinkBase + m_sink.played();
    const std::int64_t now = nowNs();
    bool finished = false;
    m_due.clear();
    {
        std::lock_guard lock(m_queue.mutex);
        // Once everything is heard, words reported past the end are due too.
        // The server's clock stops a few samples short of the end.
        const bool allHeard = m_queue.idle()
                              && heard + m_rate / kEndSlackDivisor >= m_sinkBase + m_sink.written();
        while (m_playing == m_queue.session && !m_queue.markers.empty()
               && (m_queue.markers.front().sample <= heard || allHeard)) {
            // The word's first sample was heard this long ago.
            const qint64 behind = std::max<qint64>(0, heard - m_queue.markers.front().sample);
            m_due.push_back({m_queue.markers.front().position, now - behind * 1000000000 / m_rate});
            m_queue.markers.pop_front();
        }
        finished = allHeard && m_queue.markers.empty();
    }
    for (const Due &word : m_due)
        m_onWord(m_playing, word.position, word.heardAtNs);
    // All heard: the output closes, and the thread sleeps until new audio.
    if (finished) {
        m_sink.endSession();
        m_onWord(m_playing, kEndOfText, now);
    }
}

void AudioPlayer::waitForWork()
{
    m_sink.iterate(m_sink.inSession() ? kTickUs : -1);
}
