#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

class SpeechProbe;

// What the caller, the synthesis thread and the player thread share, under
// one lock. A purge starts a new session; everything of an older one is
// dropped by whoever meets it.
struct SpeechQueue {
    struct Job {
        QString text;
        qsizetype from = 0;
        QString voiceId;
        int wordsPerMinute = 175;
    };
    struct Marker {
        qint64 sample;   // in the session's audio
        qint32 position; // offset from the job's `from`
    };

    SpeechQueue();
    ~SpeechQueue();
    SpeechQueue(const SpeechQueue &) = delete;
    SpeechQueue &operator=(const SpeechQueue &) = delete;

    // Ends the player's wait; safe from any thread.
    void wakePlayer();
    bool idle() const { return audio.empty() && jobs.empty() && !synthesizing; }

    std::mutex mutex;
    std::condition_variable work;  // jobs for the synthesis thread
    std::condition_variable space; // room in the audio queue
    bool quit = false;
    std::uint64_t session = 0;
    std::deque<std::pair<std::uint64_t, Job>> jobs;
    std::deque<std::int16_t> audio; // synthesized, not yet handed on
    std::deque<Marker> markers;
    qint64 sessionSamples = 0; // all samples queued in the session
    bool synthesizing = false;
    int volume = 100;
    SpeechProbe *probe = nullptr;
    const int wakeFd; // an eventfd the player's wait includes
};
