#pragma once

#include "Voice.h"

#include <atomic>
#include <cstdint>
#include <memory>

class EspeakEngine;

// The voice, spoken by eSpeak NG and played through the sound server. Word
// is emitted on the thread of this object when the word's first sample is
// heard.
class EspeakVoice final : public Voice
{
    Q_OBJECT

public:
    // nullptr when eSpeak cannot start (its data missing, for one).
    // dataPath: where espeak-ng-data is, if not in eSpeak's own place.
    static EspeakVoice *create(QObject *parent = nullptr, const char *dataPath = nullptr);
    ~EspeakVoice() override;

    QList<VoiceToken> GetVoices() const override;
    bool setVoice(const VoiceToken &token) override;
    VoiceToken voice() const override { return m_voice; }
    bool setRate(int rate) override;
    int Rate() const override { return m_rate; }
    bool setVolume(int volume) override;
    int Volume() const override { return m_volume; }
    bool speakFrom(const QString &text, qsizetype from, int flags) override;
    bool IsUISupported(const QString &typeOfUI) const override;

    EspeakEngine *engine() const { return m_engine.get(); }

    // Words per minute for a rate of -10..10: 175 at 0, times three per 10,
    // within what eSpeak can do.
    static int wordsPerMinute(int rate);

private:
    explicit EspeakVoice(QObject *parent);

    std::unique_ptr<EspeakEngine> m_engine;
    VoiceToken m_voice;
    int m_rate = 0;
    int m_volume = 100;
    // Session of the latest Speak; words from older ones are dropped.
    std::atomic<std::uint64_t> m_session{0};
};
