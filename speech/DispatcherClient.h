#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// Speech Dispatcher, the desktop's speech service, spoken to from a thread
// of its own, so that a service or a module that hangs never holds up the
// caller. Each piece of the text is sent as SSML with index marks, a few
// pieces ahead of what is heard.
class DispatcherClient
{
public:
    struct Voice {
        QString module;
        QString name;
        QString language;
    };
    struct Job {
        QString text;
        qsizetype from = 0;
        QString module;
        QString voice;
        int rate = 0;   // -100..100
        int volume = 0; // -100..100
    };
    // Called on the client's threads, never after stop().
    struct Listener {
        // The voices of every module but eSpeak NG's, or none when the
        // service cannot be reached.
        std::function<void(const QList<Voice> &)> listed;
        // A word, as an offset from the job's `from`, is about to be heard.
        std::function<void(std::uint64_t session, qint32 position)> word;
        // All of the session's text was heard, or could not be sent.
        std::function<void(std::uint64_t session)> finished;
        // The service went away.
        std::function<void()> lost;
    };

    // Connects in the background, starting the service if it must.
    explicit DispatcherClient(Listener listener);
    // Lets the thread end by itself, even if it hangs in the service.
    ~DispatcherClient();
    DispatcherClient(const DispatcherClient &) = delete;
    DispatcherClient &operator=(const DispatcherClient &) = delete;

    // Stops what is spoken; returns the new session.
    std::uint64_t purge();
    // Speaks after a purge; returns its session.
    std::uint64_t speak(Job job);

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};
