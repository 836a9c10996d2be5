#include "FakeVoice.h"

FakeVoice::FakeVoice(QStringList descriptions, QObject *parent) : Voice(parent)
{
    for (int i = 0; i < descriptions.size(); ++i)
        m_voices.append({QStringLiteral("voice-%1").arg(i), descriptions[i]});
    if (!m_voices.isEmpty())
        m_voice = m_voices.constFirst();
}

bool FakeVoice::setVoice(const VoiceToken &token)
{
    m_voice = token;
    return true;
}

bool FakeVoice::setRate(int rate)
{
    if (rate < -10 || rate > 10)
        return false;
    m_rate = rate;
    return true;
}

bool FakeVoice::setVolume(int volume)
{
    if (volume < 0 || volume > 100)
        return false;
    m_volume = volume;
    return true;
}

bool FakeVoice::speakFrom(const QString &text, qsizetype from, int flags)
{
    speaks.append({text.mid(from), flags});
    return true;
}

bool FakeVoice::IsUISupported(const QString &typeOfUI) const
{
    return volumeUi && typeOfUI == QLatin1String("AudioVolume");
}

void FakeVoice::DisplayUI(QWidget *, const QString &title, const QString &)
{
    displayedTitles.append(title);
}
