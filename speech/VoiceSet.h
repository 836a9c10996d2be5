#pragma once

#include "DispatcherClient.h"
#include "Voice.h"

#include <atomic>
#include <memory>

class EspeakVoice;

// The voices the reader offers: eSpeak NG's, spoken directly, and after
// them every voice of the desktop's speech service (Speech Dispatcher), in
// the order of their modules, as soon as the service answers: nothing ever
// waits for it. Words are reported by whichever speaks. If the service goes away while it speaks,
// the rest is read on, without sound, as the direct voice does without a sound server.
class VoiceSet final : public Voice
{
    Q_OBJECT

public:
    static inline const QString kDispatcherPrefix = QStringLiteral("spd:");

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

    void addDispatcherVoices(const QList<DispatcherClient::Voice> &voices);
    void onDispatcherLost();
    bool throughDispatcher() const { return m_voice.id.startsWith(kDispatcherPrefix); }

    EspeakVoice *m_espeak = nullptr;
    std::unique_ptr<DispatcherClient> m_dispatcher;
    std::shared_ptr<Relay> m_relay;
    QList<DispatcherClient::Voice> m_dispatcherVoices;
    VoiceToken m_voice;
    int m_rate = 0;
    int m_volume = 100;
    std::atomic<std::uint64_t> m_session{0};
    // What is being read through the service, to read the rest without it.
    QString m_text;
    qsizetype m_from = 0;
    qint32 m_lastWord = 0;
    qint32 m_shift = 0; // added to the direct voice's words when it stands in
};
