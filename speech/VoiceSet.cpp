#include "VoiceSet.h"

#include "EspeakVoice.h"

#include <QLocale>

#include <mutex>
#include <utility>

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
    m_fallback.setSingleShot(true);
    m_fallback.setInterval(kServiceWait);
    connect(&m_fallback, &QTimer::timeout, this, &VoiceSet::fallBack);
    if (m_espeak) {
        m_voice = m_espeak->voice();
        connect(m_espeak, &Voice::Word, this,
                [this](qint32 position) { emit Word(position + m_shift); });
        connect(m_espeak, &Voice::EndStream, this, &Voice::EndStream);
    }
    // Spawning the service and its modules takes both cores for a while:
    // the first page of the last document comes first. Reading through the
    // service before then connects at once.
    if (withDispatcher) {
        QTimer::singleShot(kServiceDelay, this, [this] {
            if (!m_serviceAsked)
                connectService();
        });
    }
}

// Connects in the background; the service is started if it must be.
void VoiceSet::connectService()
{
    m_serviceAsked = true;
    m_serviceAnswers = false;
    DispatcherClient::Listener listener;
    const std::shared_ptr<Relay> relay = m_relay;
    listener.listed = [relay, this](const QList<DispatcherClient::Voice> &voices) {
        relay->post([this, voices] { addDispatcherVoices(voices); });
    };
    listener.word = [relay, this](std::uint64_t session, qint32 position) {
        relay->post([this, session, position] {
            if (session == m_session && throughDispatcher() && !m_waiting) {
                if (std::exchange(m_confirming, false))
                    m_fallback.stop(); // heard again
                m_lastWord = position + m_shift;
                emit Word(m_lastWord);
            }
        });
    };
    listener.finished = [relay, this](std::uint64_t session) {
        relay->post([this, session] {
            if (session == m_session && throughDispatcher() && !m_confirming)
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
    if (voices.isEmpty()) {
        // Nothing to offer, or no answer: no need to stay connected.
        m_dispatcher.reset();
        fallBack();
        return;
    }
    if (!m_dispatcher)
        return;
    m_serviceAnswers = true;
    if (m_waiting && throughDispatcher()) {
        speakThroughService();
        // A service just started may take the text and never sound (a
        // module it drops): without a word soon, eSpeak reads on.
        m_confirming = true;
        m_fallback.start();
    }
    if (!m_dispatcherVoices.isEmpty())
        return; // connected again: the same voices
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
    m_serviceAnswers = false;
    if (throughDispatcher() && !m_text.isEmpty() && !m_waiting)
        waitForService();
}

// From the word being heard, through a new connection, or after
// kServiceWait through eSpeak.
void VoiceSet::waitForService()
{
    m_waiting = true;
    m_shift = m_lastWord;
    if (!m_dispatcher)
        connectService();
    m_fallback.start();
}

void VoiceSet::speakThroughService()
{
    m_waiting = false;
    m_fallback.stop();
    const qsizetype separator = m_voice.id.indexOf(u'\n');
    DispatcherClient::Job job{
        m_text,
        m_from + m_shift,
        m_voice.id.mid(kDispatcherPrefix.size(), separator - kDispatcherPrefix.size()),
        m_voice.id.mid(separator + 1),
        m_rate * 10,
        m_volume * 2 - 100};
    m_session = m_dispatcher->speak(std::move(job));
}

void VoiceSet::fallBack()
{
    if (!m_waiting && !m_confirming)
        return;
    if (m_confirming && m_dispatcher)
        m_session = m_dispatcher->purge(); // its silent text, should it sound late
    m_waiting = m_confirming = false;
    m_fallback.stop();
    if (!m_espeak) {
        emit EndStream(); // nothing left that could sound
        return;
    }
    m_espeak->setVoice(fallbackVoice());
    m_espeak->setVolume(m_volume);
    m_espeak->speakFrom(m_text, m_from + m_shift, SVSFlagsAsync);
}

// The first Chinese voice (they come first), else one of the system's language.
VoiceToken VoiceSet::fallbackVoice() const
{
    const QList<VoiceToken> voices = m_espeak->GetVoices();
    const QString language = QLocale::system().name().section(u'_', 0, 0);
    for (const VoiceToken &v : voices) {
        if (v.description.contains(QLatin1String("Chinese")))
            return v;
    }
    for (const VoiceToken &v : voices) {
        if (v.id.section(u'/', -1) == language)
            return v;
    }
    return voices.value(0);
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
        m_espeak->setVolume(m_volume);
        m_espeak->speakFrom(QString(), 0, SVSFPurgeBeforeSpeak);
    }
    m_shift = 0;
    m_text.clear();
    m_waiting = m_confirming = false;
    m_fallback.stop();
    if (m_dispatcher && (flags & SVSFPurgeBeforeSpeak))
        m_session = m_dispatcher->purge();
    if (text.isEmpty() || from >= text.size())
        return true;
    if (!throughDispatcher()) {
        if (m_espeak && m_espeak->voice().id != m_voice.id)
            m_espeak->setVoice(m_voice); // after a fallback voice
        return m_espeak && m_espeak->speakFrom(text, from, flags);
    }
    m_text = text;
    m_from = from;
    m_lastWord = 0;
    // The service gone, or not answering yet since it went: it is waited
    // for, as briefly as when it goes while reading.
    if (!m_serviceAnswers)
        waitForService();
    else
        speakThroughService();
    return m_espeak || m_dispatcher;
}

bool VoiceSet::IsUISupported(const QString &typeOfUI) const
{
    return (m_espeak || m_dispatcher) && typeOfUI == QLatin1String("AudioVolume");
}
