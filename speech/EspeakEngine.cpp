#include "EspeakEngine.h"

#include "AudioSink.h"
#include "SpeechSegmenter.h"
#include "WordEventFilter.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace {

// The one engine eSpeak's callback reports to; eSpeak itself is global.
std::atomic<EspeakEngine *> g_engine{nullptr};

// eSpeak is initialised once per process and kept: starting it again after
// espeak_Terminate can hang inside the library.
struct Library {
    int sampleRate = 0;
    QList<VoiceToken> voices;
};
Library g_library;   // written by one synthesis thread at a time

// Synthesis stays this far ahead of playback, at most.
constexpr double kAheadSeconds = 0.4;
// The player's pace; also how late a word can be reported.
constexpr int kPlayerTickUs = 4000;
constexpr int kBufferMs = 50;

int synthCallback(short *wav, int count, espeak_EVENT *events)
{
    EspeakEngine *engine = g_engine.load();
    return engine ? engine->onSynthesized(wav, count, events) : 1;
}

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QList<VoiceToken> listVoices()
{
    QList<VoiceToken> chinese;
    QList<VoiceToken> others;
    const espeak_VOICE **voices = espeak_ListVoices(nullptr);
    for (int i = 0; voices && voices[i]; ++i) {
        VoiceToken token;
        token.id = QString::fromUtf8(voices[i]->identifier);
        token.description = QString::fromUtf8(voices[i]->name);
        // Chinese first: a first start picks index 0, and readers read Chinese.
        (token.description.contains(QLatin1String("Chinese")) ? chinese : others).append(token);
    }
    return chinese + others;
}

} // namespace

struct EspeakEngine::Running {
    std::uint64_t session = 0;
    qsizetype from = 0;
    const SpeechSegmenter::Segment *segment = nullptr;
    WordEventFilter *filter = nullptr;
    qint64 segmentBase = 0;   // session sample where the segment's audio begins
};

EspeakEngine::EspeakEngine(WordCallback onWord) : m_onWord(std::move(onWord)) {}

std::unique_ptr<EspeakEngine> EspeakEngine::start(WordCallback onWord, const char *dataPath)
{
    std::unique_ptr<EspeakEngine> engine(new EspeakEngine(std::move(onWord)));
    EspeakEngine *expected = nullptr;
    if (!g_engine.compare_exchange_strong(expected, engine.get()))
        return nullptr;
    std::promise<bool> ready;
    std::future<bool> started = ready.get_future();
    engine->m_synthesis =
        std::thread(&EspeakEngine::synthesisThread, engine.get(), &ready, dataPath);
    if (!started.get()) {
        engine->m_synthesis.join();
        g_engine = nullptr;
        return nullptr;
    }
    engine->m_player = std::thread(&EspeakEngine::playerThread, engine.get());
    return engine;
}

EspeakEngine::~EspeakEngine()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        ++m_session;
    }
    m_workCv.notify_all();
    m_spaceCv.notify_all();
    if (m_synthesis.joinable())
        m_synthesis.join();
    if (m_player.joinable())
        m_player.join();
    EspeakEngine *self = this;
    g_engine.compare_exchange_strong(self, nullptr);
}

void EspeakEngine::synthesisThread(std::promise<bool> *ready, const char *dataPath)
{
    if (g_library.sampleRate <= 0) {
        // Without the flag a missing data folder would end the process.
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kBufferMs, dataPath,
                                           espeakINITIALIZE_DONT_EXIT);
        if (rate <= 0) {
            ready->set_value(false);
            return;
        }
        g_library.sampleRate = rate;
        g_library.voices = listVoices();
    }
    m_sampleRate = g_library.sampleRate;
    m_voices = g_library.voices;
    espeak_SetSynthCallback(&synthCallback);
    ready->set_value(true);

    QString currentVoice;
    for (;;) {
        std::uint64_t session = 0;
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_workCv.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
            if (m_quit)
                break;
            session = m_jobs.front().first;
            job = std::move(m_jobs.front().second);
            m_jobs.pop_front();
            m_synthesizing = true;
        }
        if (!job.voiceId.isEmpty() && job.voiceId != currentVoice) {
            if (espeak_SetVoiceByName(job.voiceId.toUtf8().constData()) == EE_OK)
                currentVoice = job.voiceId;
        }
        espeak_SetParameter(espeakRATE, job.wordsPerMinute, 0);
        runJob(job, session);
        {
            std::lock_guard lock(m_mutex);
            m_synthesizing = false;
        }
    }
}

void EspeakEngine::runJob(const Job &job, std::uint64_t session)
{
    SpeechSegmenter segmenter(job.text, job.from);
    WordEventFilter filter(job.text);
    Running running;
    running.session = session;
    running.from = job.from;
    running.filter = &filter;
    m_running = &running;
    while (auto segment = segmenter.next()) {
        {
            std::lock_guard lock(m_mutex);
            if (m_quit || m_session != session)
                break;
            running.segmentBase = m_sessionSamples;
        }
        running.segment = &*segment;
        espeak_Synth(segment->utf8.constData(), size_t(segment->utf8.size()) + 1, 0, POS_CHARACTER,
                     0, espeakCHARS_UTF8, nullptr, nullptr);
    }
    m_running = nullptr;
}

int EspeakEngine::onSynthesized(short *wav, int count, const void *eventList)
{
    Running *running = m_running;
    if (!running || !running->segment)
        return 1;
    std::vector<Marker> markers;
    for (auto *event = static_cast<const espeak_EVENT *>(eventList);
         event && event->type != espeakEVENT_LIST_TERMINATED; ++event) {
        if (event->type != espeakEVENT_WORD)
            continue;
        const auto offset =
            running->filter->accept(*running->segment, event->text_position, event->length);
        if (offset)
            markers.push_back({running->segmentBase + event->sample,
                               qint32(*offset - running->from)});
    }

    std::unique_lock lock(m_mutex);
    // Returning 1 makes eSpeak stop this text at once.
    if (m_quit || m_session != running->session)
        return 1;
    const auto limit = std::size_t(kAheadSeconds * m_sampleRate);
    m_spaceCv.wait(lock, [&] {
        return m_quit || m_session != running->session || m_audio.size() < limit;
    });
    if (m_quit || m_session != running->session)
        return 1;
    for (const Marker &marker : markers)
        m_markers.push_back(marker);
    if (wav && count > 0) {
        m_audio.insert(m_audio.end(), wav, wav + count);
        m_sessionSamples += count;
    }
    return 0;
}

std::uint64_t EspeakEngine::purge()
{
    std::uint64_t session;
    {
        std::lock_guard lock(m_mutex);
        session = ++m_session;
        m_jobs.clear();
        m_audio.clear();
        m_markers.clear();
        m_sessionSamples = 0;
        m_firstSampleNs = 0;
    }
    m_spaceCv.notify_all();
    return session;
}

std::uint64_t EspeakEngine::enqueue(Job job)
{
    std::uint64_t session;
    {
        std::lock_guard lock(m_mutex);
        session = m_session;
        m_jobs.emplace_back(session, std::move(job));
    }
    m_workCv.notify_all();
    return session;
}

void EspeakEngine::setVolume(int percent)
{
    std::lock_guard lock(m_mutex);
    m_volume = std::clamp(percent, 0, 100);
}

std::int64_t EspeakEngine::lastSilencedNs() const
{
    std::lock_guard lock(m_mutex);
    return m_silencedNs;
}

std::int64_t EspeakEngine::firstSampleHandedNs() const
{
    std::lock_guard lock(m_mutex);
    return m_firstSampleNs;
}

qint64 EspeakEngine::sessionSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_sessionSamples;
}

bool EspeakEngine::playingThroughServer() const
{
    std::lock_guard lock(m_mutex);
    return m_throughServer;
}

void EspeakEngine::playerThread()
{
    AudioSink sink(m_sampleRate);
    std::uint64_t playing = 0;    // session the sink plays
    bool tailFlushed = false;
    std::vector<std::int16_t> chunk;
    struct Due {
        qint32 position;
        std::int64_t heardAtNs;
    };
    std::vector<Due> due;

    for (;;) {
        bool startSession = false;
        bool stopSession = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_quit)
                break;
            if (sink.inSession() && playing != m_session)
                stopSession = true;
            if (!m_audio.empty() && (!sink.inSession() || playing != m_session))
                startSession = true;
            playing = m_session;
        }
        if (stopSession) {
            sink.endSession();
            std::lock_guard lock(m_mutex);
            m_silencedNs = nowNs();
        }
        if (startSession) {
            sink.beginSession();
            tailFlushed = false;
        }

        const qint64 room = sink.inSession() ? sink.writable() : 0;
        chunk.clear();
        due.clear();
        bool idle = false;
        int volume = 100;
        {
            std::lock_guard lock(m_mutex);
            if (playing == m_session && room > 0 && !m_audio.empty()) {
                const auto take = std::min<std::size_t>(std::size_t(room), m_audio.size());
                chunk.assign(m_audio.begin(), m_audio.begin() + std::ptrdiff_t(take));
                m_audio.erase(m_audio.begin(), m_audio.begin() + std::ptrdiff_t(take));
                if (m_firstSampleNs == 0)
                    m_firstSampleNs = nowNs();
            }
            volume = m_volume;
            idle = m_audio.empty() && m_jobs.empty() && !m_synthesizing;
        }
        if (!chunk.empty()) {
            m_spaceCv.notify_all();
            if (volume < 100) {
                for (auto &sample : chunk)
                    sample = std::int16_t(int(sample) * volume / 100);
            }
            sink.write(chunk.data(), qint64(chunk.size()));
            tailFlushed = false;
        }
        if (sink.inSession() && idle && !tailFlushed) {
            sink.flushTail();
            tailFlushed = true;
        }

        if (sink.inSession()) {
            const qint64 heard = sink.played();
            const std::int64_t now = nowNs();
            std::lock_guard lock(m_mutex);
            m_throughServer = sink.usingServer();
            // Once everything is heard, words reported past the end are due too.
            const bool allHeard = idle && heard >= sink.written();
            while (playing == m_session && !m_markers.empty()
                   && (m_markers.front().sample <= heard || allHeard)) {
                // The word's first sample was heard this long ago.
                const qint64 behind = std::max<qint64>(0, heard - m_markers.front().sample);
                due.push_back({m_markers.front().position, now - behind * 1000000000 / m_sampleRate});
                m_markers.pop_front();
            }
        }
        for (const Due &word : due)
            m_onWord(playing, word.position, word.heardAtNs);

        sink.iterate(kPlayerTickUs);
    }
    sink.endSession();
}
