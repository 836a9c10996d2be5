#include "EspeakVoice.h"

#include "EspeakEngine.h"

#include <algorithm>
#include <cmath>

EspeakVoice::EspeakVoice(QObject *parent) : Voice(parent) {}

EspeakVoice *EspeakVoice::create(QObject *parent, const char *dataPath)
{
    auto *voice = new EspeakVoice(parent);
    voice->m_engine = EspeakEngine::start(
        [voice](std::uint64_t session, qint32 position, std::int64_t) {
            // Player thread: hand the word to the voice's thread. Words of a
            // session that was purged meanwhile are dropped there.
            QMetaObject::invokeMethod(
                voice,
                [voice, session, position] {
                    if (session != voice->m_session.load())
                        return;
                    if (position == AudioPlayer::kEndOfText)
                        emit voice->EndStream();
                    else
                        emit voice->Word(position);
                },
                Qt::QueuedConnection);
        },
        dataPath);
    if (!voice->m_engine) {
        delete voice;
        return nullptr;
    }
    const QList<VoiceToken> voices = voice->m_engine->voices();
    if (!voices.isEmpty())
        voice->m_voice = voices.constFirst();
    return voice;
}

EspeakVoice::~EspeakVoice()
{
    // Joins the threads before this object goes, so no word is posted to it
    // afterwards.
    m_engine.reset();
}

QList<VoiceToken> EspeakVoice::GetVoices() const
{
    return m_engine->voices();
}

bool EspeakVoice::setVoice(const VoiceToken &token)
{
    const QList<VoiceToken> &voices = m_engine->voices();
    const bool known = std::any_of(voices.begin(), voices.end(),
                                   [&](const VoiceToken &v) { return v.id == token.id; });
    if (!known)
        return false;
    m_voice = token;
    return true;
}

int EspeakVoice::wordsPerMinute(int rate)
{
    const double wpm = 175.0 * std::pow(3.0, rate / 10.0);
    return std::clamp(int(std::lround(wpm)), 80, 525);
}

bool EspeakVoice::setRate(int rate)
{
    if (rate < -10 || rate > 10)
        return false;
    m_rate = rate;
    return true;
}

bool EspeakVoice::setVolume(int volume)
{
    if (volume < 0 || volume > 100)
        return false;
    m_volume = volume;
    m_engine->setVolume(volume);
    return true;
}

bool EspeakVoice::speakFrom(const QString &text, qsizetype from, int flags)
{
    if (flags & SVSFPurgeBeforeSpeak)
        m_session = m_engine->purge();
    if (text.isEmpty() || from >= text.size())
        return true;
    EspeakEngine::Job job;
    job.text = text;
    job.from = std::max<qsizetype>(0, from);
    job.voiceId = m_voice.id;
    job.wordsPerMinute = wordsPerMinute(m_rate);
    m_session = m_engine->enqueue(std::move(job));
    return true;
}

bool EspeakVoice::IsUISupported(const QString &typeOfUI) const
{
    return m_engine && typeOfUI == QLatin1String("AudioVolume");
}
