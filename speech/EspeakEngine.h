#pragma once

#include "Voice.h"

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class AudioSink;

// The eSpeak NG synthesizer and the audio player, each on a thread of its
// own. Every eSpeak call happens on the synthesis thread (the library must
// not be called from two threads). Synthesis runs at most about 0.4 s
// ahead of what is heard, so memory does not grow with the text.
class EspeakEngine
{
public:
    struct Job {
        QString text;
        qsizetype from = 0;
        QString voiceId;
        int wordsPerMinute = 175;
    };

    // Called on the player thread when a word starts to be heard: the
    // session it belongs to, its offset from the job's `from`, and when its
    // first sample was heard (steady clock, ns).
    using WordCallback =
        std::function<void(std::uint64_t session, qint32 position, std::int64_t heardAtNs)>;

    // Starts the threads and initialises eSpeak; nullptr when it cannot
    // (no data installed, or another engine alive).
    // dataPath: the folder holding espeak-ng-data, or nullptr for eSpeak's own.
    static std::unique_ptr<EspeakEngine> start(WordCallback onWord, const char *dataPath = nullptr);
    ~EspeakEngine();

    const QList<VoiceToken> &voices() const { return m_voices; }
    int sampleRate() const { return m_sampleRate; }

    // Drops everything queued or playing; returns the new session.
    std::uint64_t purge();
    // Queues a job after what is queued; returns its session.
    std::uint64_t enqueue(Job job);
    void setVolume(int percent);

    // For measurements: time of the first sample handed to the output in
    // the current session (steady clock, ns), or 0.
    std::int64_t firstSampleHandedNs() const;
    // When the output last fell silent after a purge (steady clock, ns), or 0.
    std::int64_t lastSilencedNs() const;
    bool playingThroughServer() const;
    // Samples synthesized in the current session so far.
    qint64 sessionSamples() const;

    // eSpeak's synthesis callback lands here (events: espeak_EVENT list).
    int onSynthesized(short *wav, int count, const void *events);

private:
    struct Marker {
        qint64 sample;      // in the session's audio
        qint32 position;
    };

    explicit EspeakEngine(WordCallback onWord);
    void synthesisThread(std::promise<bool> *ready, const char *dataPath);
    void playerThread();
    void runJob(const Job &job, std::uint64_t session);

    WordCallback m_onWord;
    QList<VoiceToken> m_voices;
    int m_sampleRate = 22050;

    mutable std::mutex m_mutex;
    std::condition_variable m_workCv;    // jobs for the synthesis thread
    std::condition_variable m_spaceCv;   // room in the audio queue
    bool m_quit = false;
    std::uint64_t m_session = 0;
    std::deque<std::pair<std::uint64_t, Job>> m_jobs;
    std::deque<std::int16_t> m_audio;    // synthesized, not yet handed on
    std::deque<Marker> m_markers;
    qint64 m_sessionSamples = 0;         // all samples queued in the session
    bool m_synthesizing = false;
    int m_volume = 100;
    std::int64_t m_firstSampleNs = 0;
    std::int64_t m_silencedNs = 0;
    bool m_throughServer = false;

    // State of the job being synthesized; synthesis thread only.
    struct Running;
    Running *m_running = nullptr;

    std::unique_ptr<AudioSink> m_sink;   // player thread only
    std::thread m_synthesis;
    std::thread m_player;
};
