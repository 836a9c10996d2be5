#pragma once

#include "AudioPlayer.h"
#include "SpeechQueue.h"
#include "VoiceToken.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <future>
#include <memory>
#include <thread>

class SpeechProbe;

// The eSpeak NG synthesizer and the audio player, each on a thread of its
// own. Every eSpeak call happens on the synthesis thread (the library must
// not be called from two threads). Synthesis runs at most about 0.4 s
// ahead of what is heard, so memory does not grow with the text; when
// nothing is spoken both threads sleep.
class EspeakEngine
{
public:
    using Job = SpeechQueue::Job;
    using WordCallback = AudioPlayer::WordCallback;

    // Starts the threads and initialises eSpeak; nullptr when it cannot
    // (no data installed, or another engine alive). The callback runs on the
    // player thread.
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
    // For measurements only; nullptr to remove. Set it while nothing plays.
    void setProbe(SpeechProbe *probe);

    // eSpeak's synthesis callback lands here (events: espeak_EVENT list).
    int onSynthesized(short *wav, int count, const void *events);

private:
    struct Running;

    explicit EspeakEngine(WordCallback onWord);
    void synthesisThread(std::promise<bool> *ready, const char *dataPath);
    void runJob(const Job &job, std::uint64_t session);

    WordCallback m_onWord;
    QList<VoiceToken> m_voices;
    int m_sampleRate = 22050;
    SpeechQueue m_queue;
    Running *m_running = nullptr; // synthesis thread only
    std::thread m_synthesis;
    std::thread m_player;
};
