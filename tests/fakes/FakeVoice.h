#pragma once

#include "speech/Voice.h"

#include <QStringList>

// A voice that records what it is asked and speaks only when the test says
// so (emitWord).
class FakeVoice final : public Voice
{
    Q_OBJECT

public:
    explicit FakeVoice(QStringList descriptions, QObject *parent = nullptr);

    QList<VoiceToken> GetVoices() const override { return m_voices; }
    bool setVoice(const VoiceToken &token) override;
    VoiceToken voice() const override { return m_voice; }
    bool setRate(int rate) override;
    int Rate() const override { return m_rate; }
    bool setVolume(int volume) override;
    int Volume() const override { return m_volume; }
    bool speakFrom(const QString &text, qsizetype from, int flags) override;
    bool IsUISupported(const QString &typeOfUI) const override;
    void DisplayUI(QWidget *parent, const QString &title, const QString &typeOfUI) override;

    void emitWord(qint32 position) { emit Word(position); }

    struct SpeakCall {
        QString text;   // the spoken text (from `from` on)
        int flags;
    };
    QList<SpeakCall> speaks;
    QStringList displayedTitles;
    bool volumeUi = true;

private:
    QList<VoiceToken> m_voices;
    VoiceToken m_voice;
    int m_rate = 0;
    int m_volume = 100;
};
