#include "VoiceSet.h"

#include "EspeakVoice.h"

#include <mutex>

// Hands the service's reports to this object's thread, and to nothing once
// the object is gone.
struct VoiceSet::Relay {
    std::mutex mutex;
    VoiceSet *target = nullptr;
    template <typename Function> void post(Function function)
    {
        std::lock_guard lock(mutex);
        if (target)
            QMetaObject::invokeMethod(target, function, Qt::QueuedConnection);
    }
};

VoiceSet::VoiceSet(QObject *parent, bool withDispatcher, const char *dataPath)
    : Voice(parent),
      m_espeak(EspeakVoice::create(this, dataPath)),
      m_relay(std::make_shared<Relay>())
{
    m_relay->target = this;
    if (m_espeak) {
        m_voice = m_espeak->voice();
        connect(m_espeak, &Voice::Word, this,
                [this](qint32 position) { emit Word(position + m_shift); });
        connect(m_espeak, &Voice::EndStream, this, &Voice::EndStream);
    }
    if (!withDispatcher)
        return;
    DispatcherClient::Listener listener;
    const std::shared_ptr<Relay> relay = m_relay;
    listener.listed = [relay, this](const QList<DispatcherClient::Voice> &voices) {
        relay->post([this, voices] { addDispatcherVoices(voices); });
    };
    listener.word = [relay, this](std::uint64_t session, qint32 position) {
        relay->post([this, session, position] {
            if (session == m_session && throughDispatcher()) {
                m_lastWord = position;
                emit Word(position);
            }
        });
    };
    listener.finished = [relay, this](std::uint64_t session) {
        relay->post([this, session] {
            if (session == m_session && throughDispatcher())
                emit EndStream();
        });
    };
    listener.lost = [relay, this] { relay->post([this] { onDispatcherLost(); }); };
    m_dispatcher = std::make_unique<DispatcherClient>(listener);
}

VoiceSet::~VoiceSet()
{
    std::lock_guard lock(m_relay->mutex);
    m_relay->target = nullptr;
}

QString VoiceSet::describe(const DispatcherClient::Voice &voice)
{
    return QStringLiteral("%1 (%2, %3)").arg(voice.name, voice.module, voice.language);
}

QList<VoiceToken> VoiceSet::GetVoices() const
{
    QList<VoiceToken> voices = m_espeak ? m_espeak->GetVoices() : QList<VoiceToken>();
    for (const auto &v : m_dispatcherVoices)
        voices.append({kDispatcherPrefix + v.module + u'\n' + v.name, describe(v)});
    return voices;
}

void VoiceSet::addDispatcherVoices(const QList<DispatcherClient::Voice> &voices)
{
    if (voices.isEmpty())
        onDispatcherLost(); // nothing to offer: no need to stay connected
    if (!m_dispatcher || !m_dispatcherVoices.isEmpty())
        return;
    m_dispatcherVoices = voices;
    if (m_voice.id.isEmpty())
        m_voice = GetVoices().value(0);
    emit voicesChanged();
}

void VoiceSet::onDispatcherLost()
{
    if (!m_dispatcher)
        return;
    m_dispatcher.reset();
    // The rest of what the service was reading goes on, without sound.
    if (throughDispatcher() && !m_text.isEmpty())
        emit EndStream();
    if (throughDispatcher() && m_espeak && !m_text.isEmpty()) {
        m_shift = m_lastWord;
        m_espeak->setVolume(0);
        m_espeak->speakFrom(m_text, m_from + m_lastWord, SVSFlagsAsync);
    }
}

bool VoiceSet::setVoice(const VoiceToken &token)
{
    const QList<VoiceToken> voices = GetVoices();
    if (std::none_of(voices.begin(), voices.end(),
                     [&](const VoiceToken &v) { return v.id == token.id; }))
        return false;
    m_voice = token;
    return !m_espeak || throughDispatcher() || m_espeak->setVoice(token);
}

bool VoiceSet::setRate(int rate)
{
    if (rate < -10 || rate > 10)
        return false;
    m_rate = rate;
    return !m_espeak || m_espeak->setRate(rate);
}

bool VoiceSet::setVolume(int volume)
{
    if (volume < 0 || volume > 100)
        return false;
    m_volume = volume;
    return !m_espeak || m_espeak->setVolume(volume);
}

bool VoiceSet::speakFrom(const QString &text, qsizetype from, int flags)
{
    if (m_espeak) {
        m_shift = 0;
        m_espeak->setVolume(m_volume);
        m_espeak->speakFrom(QString(), 0, SVSFPurgeBeforeSpeak);
    }
    m_text.clear();
    if (m_dispatcher && (flags & SVSFPurgeBeforeSpeak))
        m_session = m_dispatcher->purge();
    if (text.isEmpty() || from >= text.size())
        return true;
    if (!throughDispatcher())
        return m_espeak && m_espeak->speakFrom(text, from, flags);
    if (!m_dispatcher) { // its voice chosen, the service gone: on, without sound
        if (!m_espeak)
            return false;
        m_espeak->setVolume(0);
        return m_espeak->speakFrom(text, from, flags);
    }
    const qsizetype separator = m_voice.id.indexOf(u'\n');
    DispatcherClient::Job job{
        text,
        from,
        m_voice.id.mid(kDispatcherPrefix.size(), separator - kDispatcherPrefix.size()),
        m_voice.id.mid(separator + 1),
        m_rate * 10,
        m_volume * 2 - 100};
    m_text = text;
    m_from = from;
    m_lastWord = 0;
    m_session = m_dispatcher->speak(std::move(job));
    return true;
}

bool VoiceSet::IsUISupported(const QString &typeOfUI) const
{
    return (m_espeak || m_dispatcher) && typeOfUI == QLatin1String("AudioVolume");
}
