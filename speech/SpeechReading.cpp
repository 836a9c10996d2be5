#include "SpeechReading.h"

#include "Voice.h"
#include "platform/ReadingView.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QUrl>

#include <limits>
#include <utility>

SpeechReading::SpeechReading(ReaderState &state, ReadingView &rtb, Shell &shell, QObject *parent)
    : QObject(parent), m_state(state), m_rtb(rtb), m_shell(shell)
{
    m_rtb.onTextReady(this, [this] {
        if (m_playWhenReady)
            PlayFile();
    });
}

void SpeechReading::setVoice(Voice *sp)
{
    if (m_sp)
        disconnect(m_sp, nullptr, this, nullptr);
    m_sp = sp;
    if (m_sp) {
        connect(m_sp, &Voice::Word, this, &SpeechReading::sp_Word);
        connect(m_sp, &Voice::EndStream, this, [this] { setSounding(false); });
    }
}

void SpeechReading::setSounding(bool sounding)
{
    if (std::exchange(m_sounding, sounding) != sounding)
        emit soundingChanged(sounding);
}

void SpeechReading::PlayFile()
{
    m_playWhenReady = m_rtb.isDecoding();
    if (m_playWhenReady) {
        if (m_sp)
            m_sp->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
        setSounding(false);
        return;
    }
    const qint32 playPos = m_state.AppSettings.PlayPos;
    if (playPos < 1)
        return; // no such position: nothing is cut, nothing spoken
    const QString text = m_rtb.Text();
    // The spoken text is the suffix from PlayPos; it shares the view's text.
    PlayWav(text, qMin<qsizetype>(playPos - 1, text.size()));
}

void SpeechReading::PlayWav(const QString &text, qsizetype from)
{
    if (m_sp)
        m_sp->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    QCoreApplication::processEvents();
    const bool queued = m_sp && m_sp->speakFrom(text, from, Voice::SVSFlagsAsync);
    setSounding(queued && from < text.size());
}

void SpeechReading::PlayStop()
{
    m_playWhenReady = false;
    if (m_sp)
        m_sp->Speak(QString(), Voice::SVSFPurgeBeforeSpeak);
    setSounding(false);
    QCoreApplication::processEvents();
}

void SpeechReading::SetRate(qint16 &rate)
{
    if (m_sp)
        m_sp->setRate(qint32(rate));
}

void SpeechReading::SetVolum(qint16 &volume)
{
    if (m_sp)
        m_sp->setVolume(qint32(volume));
}

void SpeechReading::sp_Word(qint32 characterPosition)
{
    if (m_state.ReadingFlag != 1)
        return;
    const qint64 position = qint64(m_state.AppSettings.PlayPos) - 1 + characterPosition;
    if (position < 0 || position > std::numeric_limits<qint32>::max())
        return;
    m_rtb.setSelStart(qint32(position));
}

void SpeechReading::cmbLanguage_Click(int listIndex)
{
    m_state.AppSettings.curLanguage = qint16(listIndex);
    if (!m_sp)
        return;
    const QList<VoiceToken> voices = m_sp->GetVoices();
    if (listIndex >= 0 && listIndex < voices.size())
        m_sp->setVoice(voices[listIndex]);
}

void SpeechReading::openVoicePackDownload()
{
    m_shell.openUrl(downloadUrl());
}

QUrl SpeechReading::downloadUrl()
{
    return QUrl(QStringLiteral("http://" TALVERO_WEB_HOST
                               "/download/speechSDK/SDK/5.1/WXP/EN-US/speechsdk51LangPack.exe"));
}
