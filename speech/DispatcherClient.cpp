#include "DispatcherClient.h"

#include "DispatcherVoices.h"
#include "ServiceProcess.h"
#include "SpeechSegmenter.h"
#include "SsmlText.h"

#include <libspeechd.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// Pieces sent ahead of the one being heard.
constexpr int kInFlight = 2;
// A service that is still starting its modules (the first connection
// starts it), or just ending its idle time, refuses or drops a connection;
// it is tried again for a few seconds.
constexpr int kConnectAttempts = 12;
constexpr auto kConnectRetry = std::chrono::milliseconds(500);

} // namespace

struct DispatcherClient::Shared {
    struct Message {
        std::uint64_t session;
        qint32 firstWord; // offset from `from`
    };

    void run();
    bool connectAndList();
    bool connect();
    void disconnect();
    bool listVoices();
    bool sendPieces();
    bool serviceGone();
    void markDead();
    void event(size_t message, SPDNotificationType type, const char *mark);

    Listener listener;
    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    bool dead = false;
    std::uint64_t session = 0;
    bool purgeWanted = false;
    std::optional<Job> job;          // to be started
    std::map<int, Message> messages; // sent, not yet heard to the end
    qint32 lastWord = -1;
    SPDConnection *connection = nullptr;
    qint64 servicePid = 0;

    // Worker thread only.
    Job speaking;
    std::uint64_t speakingSession = 0;
    std::optional<SpeechSegmenter> segmenter;
};

namespace {

// libspeechd's callbacks carry no context; there is one client at a time.
std::atomic<DispatcherClient::Shared *> g_client{nullptr};
// Sessions count on across clients: a word of a client gone, still on its
// way, never passes for one of the next client's.
std::atomic<std::uint64_t> g_sessions{0};

void onEvent(size_t message, size_t, SPDNotificationType type)
{
    if (auto *client = g_client.load())
        client->event(message, type, nullptr);
}

void onMark(size_t message, size_t, SPDNotificationType type, char *mark)
{
    if (auto *client = g_client.load())
        client->event(message, type, mark);
}

} // namespace

DispatcherClient::DispatcherClient(Listener listener) : m_shared(std::make_shared<Shared>())
{
    m_shared->listener = std::move(listener);
    std::thread([shared = m_shared] { shared->run(); }).detach();
}

DispatcherClient::~DispatcherClient()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->quit = true;
    m_shared->listener = Listener();
    m_shared->wake.notify_all();
}

std::uint64_t DispatcherClient::purge()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->purgeWanted = true;
    m_shared->job.reset();
    m_shared->wake.notify_all();
    return m_shared->session = ++g_sessions;
}

std::uint64_t DispatcherClient::speak(Job job)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->purgeWanted = true;
    m_shared->job = std::move(job);
    m_shared->wake.notify_all();
    return m_shared->session = ++g_sessions;
}

void DispatcherClient::Shared::run()
{
    // libspeechd writes to the service's socket: were the service killed,
    // SIGPIPE would end the whole program. Blocked here, such a write fails,
    // on this thread and on the library's reader thread it starts.
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    if (!connectAndList()) {
        std::lock_guard lock(mutex);
        dead = true;
        if (listener.listed)
            listener.listed({});
    }
    std::unique_lock lock(mutex);
    while (!quit) {
        // Woken for work; while reading also now and then, to see whether
        // the service lives. Idle, it sleeps. Work asked for while it was
        // busy (connecting, sending) is not waited for: its wake is past.
        const bool asked = !dead && (job || purgeWanted);
        if (!asked && (segmenter || !messages.empty()))
            wake.wait_for(lock, std::chrono::milliseconds(500));
        else if (!asked)
            wake.wait(lock);
        if (dead || quit)
            continue;
        // A purge and the job after it are taken together, so that the purge
        // is done before the job starts and never after.
        // Only what was sent is cancelled: Festival's module, given a cancel
        // with nothing spoken, now and then never answered again.
        const bool purge = std::exchange(purgeWanted, false) && (segmenter || !messages.empty());
        std::optional<Job> next = std::exchange(job, std::nullopt);
        if (purge) {
            messages.clear();
            segmenter.reset();
        }
        if (next) {
            speaking = std::move(*next);
            speakingSession = session;
            lastWord = -1;
            segmenter.emplace(speaking.text, speaking.from);
        }
        // Nothing is sent to a service that is gone.
        if ((purge || next || segmenter) && serviceGone()) {
            markDead();
            continue;
        }
        if (purge || next) {
            lock.unlock();
            if (purge)
                spd_cancel(connection);
            if (next) {
                spd_set_output_module(connection, speaking.module.toUtf8().constData());
                spd_set_synthesis_voice(connection, speaking.voice.toUtf8().constData());
                spd_set_voice_rate(connection, speaking.rate);
                spd_set_volume(connection, speaking.volume);
            }
            lock.lock();
        }
        // A service killed as a piece goes makes the piece fail: not the end
        // of the text, and its words in flight will never come.
        if ((!sendPieces() || segmenter || !messages.empty()) && serviceGone()) {
            markDead();
            continue;
        }
        if (!segmenter && messages.empty() && std::exchange(speakingSession, 0) == session
            && listener.finished)
            listener.finished(session);
    }
    Shared *self = this;
    g_client.compare_exchange_strong(self, nullptr);
    lock.unlock();
    disconnect();
}

bool DispatcherClient::Shared::connectAndList()
{
    for (int attempt = 1;; ++attempt) {
        // The client of a connection that broke gives the callbacks back
        // soon; until then they are another client's.
        Shared *owner = nullptr;
        const bool callbacks = g_client.compare_exchange_strong(owner, this) || owner == this;
        if (callbacks && connect() && listVoices())
            return true;
        disconnect();
        std::unique_lock lock(mutex);
        if (attempt == kConnectAttempts
            || wake.wait_for(lock, kConnectRetry, [this] { return quit; }))
            return false;
    }
}

void DispatcherClient::Shared::disconnect()
{
    if (connection)
        spd_close(connection);
    connection = nullptr;
}

bool DispatcherClient::Shared::connect()
{
    char *error = nullptr;
    connection = spd_open2("talvero", "reader", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    free(error);
    if (!connection)
        return false;
    connection->callback_begin = connection->callback_end = connection->callback_cancel = onEvent;
    connection->callback_im = onMark;
    servicePid = ServiceProcess::serving(connection->socket);
    spd_set_notification_on(connection, SPD_BEGIN);
    spd_set_notification_on(connection, SPD_END);
    spd_set_notification_on(connection, SPD_CANCEL);
    spd_set_notification_on(connection, SPD_INDEX_MARKS);
    return spd_set_data_mode(connection, SPD_DATA_SSML) == 0;
}

// False when the service does not answer.
bool DispatcherClient::Shared::listVoices()
{
    const std::optional<QList<Voice>> voices = DispatcherVoices::list(connection);
    if (!voices)
        return false;
    std::lock_guard lock(mutex);
    if (listener.listed)
        listener.listed(*voices);
    return true;
}

// With the lock held; keeps a few pieces queued at the service. False when
// the service refused one.
bool DispatcherClient::Shared::sendPieces()
{
    while (segmenter && messages.size() < size_t(kInFlight)) {
        const auto piece = segmenter->next();
        if (!piece) {
            segmenter.reset();
            return true;
        }
        qsizetype first = piece->begin;
        while (first < piece->end && speaking.text[first].isSpace())
            ++first;
        const QByteArray ssml = SsmlText::forPiece(speaking.text, piece->begin, piece->end,
                                                   speaking.from);
        const std::uint64_t pieceSession = speakingSession;
        mutex.unlock();
        // Pieces of priority "text" would cancel each other at the service.
        const int id = spd_say(connection, SPD_MESSAGE, ssml.constData());
        mutex.lock();
        if (id < 0) {
            segmenter.reset();
            return false;
        }
        if (pieceSession == session)
            messages[id] = {pieceSession, qint32(first - speaking.from)};
    }
    return true;
}

// With the lock held: the service went away; a new client may connect.
void DispatcherClient::Shared::markDead()
{
    dead = true;
    messages.clear();
    segmenter.reset();
    Shared *self = this;
    g_client.compare_exchange_strong(self, nullptr);
    if (listener.lost)
        listener.lost();
}

bool DispatcherClient::Shared::serviceGone()
{
    // A service that was just started may write its pid file after it answers.
    if (servicePid == 0)
        servicePid = ServiceProcess::serving(connection->socket);
    return ServiceProcess::gone(connection->socket, servicePid);
}

// On libspeechd's own thread.
void DispatcherClient::Shared::event(size_t message, SPDNotificationType type, const char *mark)
{
    std::lock_guard lock(mutex);
    const auto found = messages.find(int(message));
    if (found == messages.end() || found->second.session != session)
        return; // of a purged text
    const Message m = found->second;
    if (type == SPD_EVENT_END || type == SPD_EVENT_CANCEL) {
        messages.erase(found);
        wake.notify_all();
        return;
    }
    const qint32 position = type == SPD_EVENT_INDEX_MARK ? SsmlText::markOffset(mark) : m.firstWord;
    // A module with marks reports the first word twice: once as the begin.
    if (position > lastWord && listener.word) {
        lastWord = position;
        listener.word(m.session, position);
    }
}
