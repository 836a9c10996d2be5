#include "AudioSink.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <poll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How long a session waits for the server before it plays silently.
constexpr auto kConnectWait = std::chrono::milliseconds(300);
// What the server buffers ahead: enough to ride out a busy machine that
// keeps the player thread waiting; it also bounds the delay of a volume
// change.
constexpr pa_usec_t kTargetLatencyUs = 300 * 1000;
constexpr pa_usec_t kPrebufferUs = 20 * 1000;
// What the silent clock keeps "buffered", like a server would.
constexpr qint64 kSilentAheadMs = 100;

} // namespace

AudioSink::AudioSink(int sampleRate, int wakeFd) : m_rate(sampleRate), m_wakeFd(wakeFd)
{
    m_loop = pa_mainloop_new();
    // The main loop's own wakeup is lost when it comes just before the wait,
    // so the wait also watches an eventfd of ours, which keeps its count.
    if (m_loop)
        pa_mainloop_set_poll_func(m_loop, &AudioSink::pollWithWake, this);
}

int AudioSink::pollWithWake(struct pollfd *fds, unsigned long count, int timeoutMs, void *self)
{
    auto *sink = static_cast<AudioSink *>(self);
    std::vector<pollfd> &all = sink->m_pollfds;
    all.assign(fds, fds + count);
    all.push_back({sink->m_wakeFd, POLLIN, 0});
    const int ready = ::poll(all.data(), nfds_t(all.size()), timeoutMs);
    if (ready < 0)
        return ready;
    std::copy(all.begin(), all.begin() + std::ptrdiff_t(count), fds);
    if (all.back().revents & POLLIN) {
        std::uint64_t wakes = 0;
        [[maybe_unused]] const auto got = ::read(sink->m_wakeFd, &wakes, sizeof wakes);
        return ready - 1;
    }
    return ready;
}

AudioSink::~AudioSink()
{
    closeStream();
    dropContext();
    if (m_loop)
        pa_mainloop_free(m_loop);
}

void AudioSink::connectContext()
{
    dropContext();
    if (!m_loop)
        return;
    m_context = pa_context_new(pa_mainloop_get_api(m_loop), "Talvero");
    if (!m_context)
        return;
    // Never start a server of our own: no server means the silent clock.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        dropContext();
}

void AudioSink::dropContext()
{
    if (!m_context)
        return;
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

bool AudioSink::contextReady() const
{
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool AudioSink::streamReady() const
{
    return m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY;
}

void AudioSink::openStream()
{
    closeStream();
    if (!contextReady())
        return;
    const pa_sample_spec format{PA_SAMPLE_S16LE, uint32_t(m_rate), 1};
    m_stream = pa_stream_new(m_context, "Reading aloud", &format, nullptr);
    if (!m_stream)
        return;
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(pa_usec_to_bytes(kTargetLatencyUs, &format));
    attr.prebuf = uint32_t(pa_usec_to_bytes(kPrebufferUs, &format));
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE
                                         | PA_STREAM_ADJUST_LATENCY);
    pa_stream_set_underflow_callback(
        m_stream, [](pa_stream *, void *self) { ++static_cast<AudioSink *>(self)->m_underflows; },
        this);
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        closeStream();
}

void AudioSink::closeStream()
{
    if (!m_stream)
        return;
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

void AudioSink::beginSession()
{
    endSession();
    m_inSession = true;
    m_written = 0;
    m_played = 0;
    m_sessionStart = Clock::now();
    m_clock = m_sessionStart;
    if (contextReady()) {
        m_mode = Mode::Server;
        openStream();
        return;
    }
    // Gone or never there: look again, briefly.
    connectContext();
    m_mode = m_context ? Mode::Connecting : Mode::Silent;
}

void AudioSink::endSession()
{
    closeStream();
    m_inSession = false;
    if (m_mode == Mode::Connecting)
        m_mode = Mode::Silent;
}

void AudioSink::switchToSilent()
{
    // What was written but not heard yet is "heard" on the clock instead.
    m_played = std::min(played(), m_written);
    closeStream();
    m_mode = Mode::Silent;
    m_clock = Clock::now();
}

void AudioSink::checkHealth()
{
    if (m_mode == Mode::Connecting) {
        const auto state = m_context ? pa_context_get_state(m_context) : PA_CONTEXT_FAILED;
        if (state == PA_CONTEXT_READY) {
            m_mode = Mode::Server;
            openStream();
        } else if (!PA_CONTEXT_IS_GOOD(state) || Clock::now() - m_sessionStart > kConnectWait) {
            dropContext();
            m_mode = Mode::Silent;
            m_clock = Clock::now();
        }
        return;
    }
    if (m_mode == Mode::Server) {
        const bool contextGood = m_context && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context));
        const bool streamGood = m_stream && PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
        if (!contextGood || !streamGood) {
            switchToSilent();
            if (!contextGood)
                dropContext();
        }
    }
}

qint64 AudioSink::writable()
{
    if (!m_inSession)
        return 0;
    checkHealth();
    switch (m_mode) {
    case Mode::Connecting: return 0;
    case Mode::Server:
        if (!streamReady())
            return 0;
        return qint64(pa_stream_writable_size(m_stream) / sizeof(std::int16_t));
    case Mode::Silent:
        return std::max<qint64>(0, m_rate * kSilentAheadMs / 1000 - (m_written - played()));
    }
    return 0;
}

void AudioSink::write(const std::int16_t *samples, qint64 count)
{
    if (count <= 0 || !m_inSession)
        return;
    if (m_mode == Mode::Server && streamReady()) {
        if (pa_stream_write(m_stream, samples, size_t(count) * sizeof(std::int16_t), nullptr, 0,
                            PA_SEEK_RELATIVE)
            < 0) {
            switchToSilent();
        }
    }
    m_written += count;
}

void AudioSink::flushTail()
{
    if (m_mode == Mode::Server && streamReady())
        pa_operation_unref(pa_stream_trigger(m_stream, nullptr, nullptr));
}

qint64 AudioSink::played()
{
    if (!m_inSession)
        return m_played;
    if (m_mode == Mode::Server) {
        pa_usec_t usec = 0;
        if (streamReady() && pa_stream_get_time(m_stream, &usec) == 0)
            m_played = std::max(m_played, qint64(usec * pa_usec_t(m_rate) / PA_USEC_PER_SEC));
    } else if (m_mode == Mode::Silent) {
        const auto now = Clock::now();
        const auto elapsedUs =
            std::chrono::duration_cast<std::chrono::microseconds>(now - m_clock).count();
        const qint64 advance = elapsedUs * m_rate / 1000000;
        if (advance > 0) {
            m_played += advance;
            // Only whole samples are taken from the clock; the rest carries.
            m_clock += std::chrono::microseconds(advance * 1000000 / m_rate);
        }
    }
    // The clock does not run past the end of what was written; a pause in
    // the input pauses it.
    if (m_played >= m_written) {
        m_played = m_written;
        m_clock = Clock::now();
    }
    return m_played;
}

void AudioSink::iterate(int timeoutUs)
{
    if (!m_loop) {
        pollWithWake(nullptr, 0, timeoutUs < 0 ? -1 : timeoutUs / 1000, this);
        return;
    }
    if (pa_mainloop_prepare(m_loop, timeoutUs) < 0)
        return;
    if (pa_mainloop_poll(m_loop) < 0)
        return;
    pa_mainloop_dispatch(m_loop);
}
