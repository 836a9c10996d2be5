#pragma once

#include <QtGlobal>

#include <chrono>
#include <cstdint>
#include <vector>

struct pa_context;
struct pa_mainloop;
struct pa_stream;
struct pollfd;

// Plays 16-bit mono PCM through the desktop's sound server and tells how
// much of it has been heard. With no server, or when it goes away, the
// samples are "played" on a silent clock at the same speed, so everything
// that follows the playback (the caret) goes on. Lives on one thread.
class AudioSink
{
public:
    // wakeFd: an eventfd whose writes end a wait in iterate().
    AudioSink(int sampleRate, int wakeFd);
    ~AudioSink();
    AudioSink(const AudioSink &) = delete;
    AudioSink &operator=(const AudioSink &) = delete;

    // A new stretch of audio; positions count from 0 again. Tries the
    // server again if it was missing.
    void beginSession();
    // Silence at once; buffered audio is dropped.
    void endSession();
    bool inSession() const { return m_inSession; }

    // How many samples write() takes now without blocking.
    qint64 writable();
    void write(const std::int16_t *samples, qint64 count);
    // Plays what is buffered even if it is less than the start threshold.
    void flushTail();

    // Samples heard since beginSession (never more than written).
    qint64 played();
    qint64 written() const { return m_written; }

    // Handles server events, waiting at most timeoutUs for them (-1: until
    // one comes or wakeFd is written).
    void iterate(int timeoutUs);

    bool usingServer() const { return m_mode == Mode::Server; }
    // Times the server ran out of audio to play, since the start.
    int underflows() const { return m_underflows; }
    // Gives up on the server for this session, as when it goes away.
    void switchToSilent();

private:
    enum class Mode { Connecting, Server, Silent };

    void connectContext();
    void dropContext();
    void openStream();
    void closeStream();
    bool contextReady() const;
    bool streamReady() const;
    void checkHealth();
    static int pollWithWake(struct pollfd *fds, unsigned long count, int timeoutMs, void *self);

    const int m_rate;
    const int m_wakeFd;
    pa_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;

    Mode m_mode = Mode::Silent;
    bool m_inSession = false;
    int m_underflows = 0;
    qint64 m_written = 0;
    qint64 m_played = 0;
    std::chrono::steady_clock::time_point m_sessionStart;
    std::chrono::steady_clock::time_point m_clock;
    std::vector<struct pollfd> m_pollfds;
};
