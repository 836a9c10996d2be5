#include "EspeakEngine.h"

#include "SpeechProbe.h"
#include "SpeechSegmenter.h"
#include "WordEventFilter.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>

namespace {

// The one engine eSpeak's callback reports to; eSpeak itself is global.
std::atomic<EspeakEngine *> g_engine{nullptr};

// eSpeak is initialised once per process and kept: starting it again after
// espeak_Terminate can hang inside the library.
struct Library {
    int sampleRate = 0;
    QList<VoiceToken> voices;
};
Library g_library; // written by one synthesis thread at a time

// Synthesis stays this far ahead of playback, at most.
constexpr double kAheadSeconds = 0.4;
constexpr int kBufferMs = 50;

int synthCallback(short *wav, int count, espeak_EVENT *events)
{
    EspeakEngine *engine = g_engine.load();
    return engine ? engine->onSynthesized(wav, count, events) : 1;
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
    qint64 segmentBase = 0; // session sample where the segment's audio begins
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
    engine->m_synthesis = std::thread(&EspeakEngine::synthesisThread, engine.get(), &ready,
                                      dataPath);
    if (!started.get()) {
        engine->m_synthesis.join();
        g_engine = nullptr;
        return nullptr;
    }
    EspeakEngine *self = engine.get();
    engine->m_player = std::thread([self] {
        AudioPlayer player(self->m_queue, self->m_sampleRate, self->m_onWord);
        player.run();
    });
    return engine;
}

EspeakEngine::~EspeakEngine()
{
    {
        std::lock_guard lock(m_queue.mutex);
        m_queue.quit = true;
        ++m_queue.session;
    }
    m_queue.work.notify_all();
    m_queue.space.notify_all();
    m_queue.wakePlayer();
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
            std::unique_lock lock(m_queue.mutex);
            m_queue.work.wait(lock, [this] { return m_queue.quit || !m_queue.jobs.empty(); });
            if (m_queue.quit)
                break;
            session = m_queue.jobs.front().first;
            job = std::move(m_queue.jobs.front().second);
            m_queue.jobs.pop_front();
            m_queue.synthesizing = true;
        }
        if (!job.voiceId.isEmpty() && job.voiceId != currentVoice) {
            if (espeak_SetVoiceByName(job.voiceId.toUtf8().constData()) == EE_OK)
                currentVoice = job.voiceId;
        }
        espeak_SetParameter(espeakRATE, job.wordsPerMinute, 0);
        runJob(job, session);
        bool silent = false;
        {
            std::lock_guard lock(m_queue.mutex);
            m_queue.synthesizing = false;
            silent = m_queue.session == session && m_queue.sessionSamples == 0 && m_queue.idle();
        }
        // A text without a sound (blanks only) is never played: it ends here.
        if (silent)
            m_onWord(session, AudioPlayer::kEndOfText, 0);
        // The player may be waiting for the end of the text.
        m_queue.wakePlayer();
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
            std::lock_guard lock(m_queue.mutex);
            if (m_queue.quit || m_queue.session != session)
                break;
            running.segmentBase = m_queue.sessionSamples;
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
    std::vector<SpeechQueue::Marker> markers;
    for (auto *event = static_cast<const espeak_EVENT *>(eventList);
         event && event->type != espeakEVENT_LIST_TERMINATED; ++event) {
        if (event->type != espeakEVENT_WORD)
            continue;
        const auto offset = running->filter->accept(*running->segment, event->text_position,
                                                    event->length);
        if (offset)
            markers.push_back(
                {running->segmentBase + event->sample, qint32(*offset - running->from)});
    }

    qint64 total = 0;
    SpeechProbe *probe = nullptr;
    {
        std::unique_lock lock(m_queue.mutex);
        // Returning 1 makes eSpeak stop this text at once.
        if (m_queue.quit || m_queue.session != running->session)
            return 1;
        const auto limit = std::size_t(kAheadSeconds * m_sampleRate);
        m_queue.space.wait(lock, [&] {
            return m_queue.quit || m_queue.session != running->session
                   || m_queue.audio.size() < limit;
        });
        if (m_queue.quit || m_queue.session != running->session)
            return 1;
        m_queue.markers.insert(m_queue.markers.end(), markers.begin(), markers.end());
        if (wav && count > 0) {
            m_queue.audio.insert(m_queue.audio.end(), wav, wav + count);
            m_queue.sessionSamples += count;
        }
        total = m_queue.sessionSamples;
        probe = m_queue.probe;
    }
    m_queue.wakePlayer();
    if (probe)
        probe->synthesized(total);
    return 0;
}

std::uint64_t EspeakEngine::purge()
{
    std::uint64_t session;
    {
        std::lock_guard lock(m_queue.mutex);
        session = ++m_queue.session;
        m_queue.jobs.clear();
        m_queue.audio.clear();
        m_queue.markers.clear();
        m_queue.sessionSamples = 0;
    }
    m_queue.space.notify_all();
    m_queue.wakePlayer();
    return session;
}

std::uint64_t EspeakEngine::enqueue(Job job)
{
    std::uint64_t session;
    {
        std::lock_guard lock(m_queue.mutex);
        session = m_queue.session;
        m_queue.jobs.emplace_back(session, std::move(job));
    }
    m_queue.work.notify_all();
    return session;
}

void EspeakEngine::setVolume(int percent)
{
    std::lock_guard lock(m_queue.mutex);
    m_queue.volume = std::clamp(percent, 0, 100);
}

void EspeakEngine::setProbe(SpeechProbe *probe)
{
    std::lock_guard lock(m_queue.mutex);
    m_queue.probe = probe;
}
