#include "SpeechQueue.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

SpeechQueue::SpeechQueue() : wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SpeechQueue::~SpeechQueue()
{
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void SpeechQueue::wakePlayer()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd, &one, sizeof one);
}
