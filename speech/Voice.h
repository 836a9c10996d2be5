#pragma once

#include "VoiceToken.h"

#include <QList>
#include <QObject>
#include <QString>

// The speech voice: speaks text in the background and reports each word as
// it is heard. Calls that the voice refuses return false and change nothing.
class Voice : public QObject
{
    Q_OBJECT

public:
    // Speak flags.
    static constexpr int SVSFlagsAsync = 1;
    static constexpr int SVSFPurgeBeforeSpeak = 2;

    using QObject::QObject;

    // All installed voices, always in the same order; voices that become
    // known later are added at the end (voicesChanged).
    virtual QList<VoiceToken> GetVoices() const = 0;
    // Later speech uses this voice.
    virtual bool setVoice(const VoiceToken &token) = 0;
    virtual VoiceToken voice() const = 0;

    // Rate in the range -10..10, 0 normal; takes effect at the next Speak.
    virtual bool setRate(int rate) = 0;
    virtual int Rate() const = 0;

    // Volume 0..100, applied at once.
    virtual bool setVolume(int volume) = 0;
    virtual int Volume() const = 0;

    // Flags 2 with empty text: stop and drop everything queued. Flags 1:
    // queue the text and return at once.
    bool Speak(const QString &text, int flags) { return speakFrom(text, 0, flags); }
    // Speak for text[from:], sharing text instead of copying the suffix;
    // word positions are then counted from `from`.
    virtual bool speakFrom(const QString &text, qsizetype from, int flags) = 0;

    // Whether a dialog of that type (only "AudioVolume") exists for the
    // voice; the dialog itself is the window's (ui/VolumeDialog.h).
    virtual bool IsUISupported(const QString &typeOfUI) const = 0;

signals:
    // The word at characterPosition (zero-based UTF-16 offset into the text
    // last passed to Speak) is about to be heard.
    void Word(qint32 characterPosition);
    // All of the text last passed to Speak has been heard (also when the
    // voice could not go on with it); never for a purged one.
    void EndStream();
    void voicesChanged();
};
