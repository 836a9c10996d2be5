#pragma once

#include "DispatcherClient.h"
#include "Voice.h"

#include <QTimer>

#include <atomic>
#include <memory>

class EspeakVoice;

// The voices the reader offers: eSpeak NG's, spoken directly, and after
// them every voice of the desktop's speech service (Speech Dispatcher), in
// the order of their modules, as soon as the service answers: nothing ever
// waits for it. Words are reported by whichever speaks. If the service goes
// away while it speaks, or is gone when reading starts, it is connected
// again (which starts it) and reading goes on from the word being heard;
// when it does not answer within kServiceWait, an eSpeak voice reads on
// from there, until reading starts again.
class VoiceSet final : public Voice
{
    Q_OBJECT

public:
    static inline const QString kDispatcherPrefix = QStringLiteral("spd:");
    static constexpr int kServiceWait = 3000;  // ms
    static constexpr int kServiceDelay = 1000; // ms after start-up

    // dataPath: where espeak-ng-data is, if not in eSpeak's own place.
    explicit VoiceSet(QObject *parent = nullptr, bool withDispatcher = true,
                      const char *dataPath = nullptr);
    ~VoiceSet() override;

    QList<VoiceToken> GetVoices() const override;
    bool setVoice(const VoiceToken &token) override;
    VoiceToken voice() const override { return m_voice; }
    bool setRate(int rate) override;
    int Rate() const override { return m_rate; }
    bool setVolume(int volume) override;
    int Volume() const override { return m_volume; }
    bool speakFrom(const QString &text, qsizetype from, int flags) override;
    bool IsUISupported(const QString &typeOfUI) const override;

    // "Alan (rhvoice, en)"
    static QString describe(const DispatcherClient::Voice &voice);

private:
    struct Relay;

    void connectService();
    void addDispatcherVoices(const QList<DispatcherClient::Voice> &voices);
    void onDispatcherLost();
    void waitForService();
    void speakThroughService();
    void fallBack();
    VoiceToken fallbackVoice() const;
    bool throughDispatcher() const { return m_voice.id.startsWith(kDispatcherPrefix); }

    EspeakVoice *m_espeak = nullptr;
    std::unique_ptr<DispatcherClient> m_dispatcher;
    bool m_serviceAnswers = false; // the current connection listed its voices
    bool m_serviceAsked = false;   // connected at least once
    bool m_waiting = false;        // reading waits for the service
    bool m_confirming = false;     // sent to a service just back: no word heard yet
    QTimer m_fallback;
    std::shared_ptr<Relay> m_relay;
    QList<DispatcherClient::Voice> m_dispatcherVoices;
    VoiceToken m_voice;
    int m_rate = 0;
    int m_volume = 100;
    std::atomic<std::uint64_t> m_session{0};
    // What is being read through the service, to go on from its last word
    // (counted from m_from) through a new connection or without it.
    QString m_text;
    qsizetype m_from = 0;
    qint32 m_lastWord = 0;
    qint32 m_shift = 0; // added to the words of a reading that went on from m_lastWord
};
