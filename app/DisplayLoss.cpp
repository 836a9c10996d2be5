#include "DisplayLoss.h"

#include <atomic>
#include <mutex>

namespace DisplayLoss {
namespace {

QtMessageHandler g_previous = nullptr;
std::function<void()> g_save;
std::function<void(int)> g_end;
std::atomic_flag g_lost;
std::recursive_mutex g_saving;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (g_previous)
        g_previous(type, context, message);
    if (!isLossMessage(message))
        return;
    // Only the first report saves; another thread reporting it meanwhile
    // waits here for the end instead of going on to the plugin's own exit.
    const std::lock_guard lock(g_saving);
    if (g_lost.test_and_set())
        return;
    if (g_save)
        g_save();
    if (g_end)
        g_end(1);
}

} // namespace

bool isLossMessage(const QString &message)
{
    return message.startsWith(QLatin1String("The X11 connection broke"))
           || message.startsWith(QLatin1String("The Wayland connection broke"))
           || message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

void watch(std::function<void()> save, std::function<void(int)> end)
{
    g_save = std::move(save);
    g_end = std::move(end);
    g_previous = qInstallMessageHandler(handler);
}

} // namespace DisplayLoss
