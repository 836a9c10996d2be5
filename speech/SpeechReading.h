#pragma once

#include "app/ReaderState.h"

#include <QObject>
#include <QPointer>
#include <QString>

class ReadingView;
class Shell;
class Voice;

// Reading aloud from the caret: starts and stops the voice, and moves the
// caret to each word as it is heard, so the caret marks where reading
// stands. Works without a voice too: every call on it is then skipped.
class SpeechReading : public QObject
{
    Q_OBJECT

public:
    SpeechReading(ReaderState &state, ReadingView &rtb, Shell &shell, QObject *parent = nullptr);

    void setVoice(Voice *sp);
    Voice *voice() const { return m_sp; }

    // Speaks the view's text from the one-based PlayPos to the end. While a
    // new document still decodes, it is spoken as soon as its text is there
    // (unless PlayStop comes first); the window does not wait for it.
    void PlayFile();
    // Replaces whatever is being spoken by text (from `from` on).
    void PlayWav(const QString &text, qsizetype from = 0);
    void PlayStop();
    void SetRate(qint16 &rate);
    void SetVolum(qint16 &volume);

    void sp_Word(qint32 characterPosition);
    // The voice list's selection changed to listIndex (-1: none).
    void cmbLanguage_Click(int listIndex);
    // Opens the voice-pack download in the browser (a click on the label
    // while it shows the download link).
    void openVoicePackDownload();

    static QUrl downloadUrl();

    // The voice has text left to speak: from PlayWav until PlayStop, the end
    // of the text or a voice that cannot go on.
    bool isSounding() const { return m_sounding; }

signals:
    void soundingChanged(bool sounding);

private:
    void setSounding(bool sounding);

    ReaderState &m_state;
    ReadingView &m_rtb;
    Shell &m_shell;
    QPointer<Voice> m_sp;
    bool m_playWhenReady = false;
    bool m_sounding = false;
};
