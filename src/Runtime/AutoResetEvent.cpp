#include "AutoResetEvent.h"

#include <chrono>
#include <utility>

void TAutoResetEvent::Set()
{
    {
        std::lock_guard lock(FMutex);
        FSignalled = true;
    }
    FCondition.notify_one();
}

bool TAutoResetEvent::WaitFor(uint32_t aTimeoutMs)
{
    std::unique_lock lock(FMutex);
    const auto signalled = [this] { return FSignalled; };
    if (aTimeoutMs == kInfinite)
        FCondition.wait(lock, signalled);
    else if (!FCondition.wait_for(lock, std::chrono::milliseconds(aTimeoutMs), signalled))
        return false;
    FSignalled = false;
    return true;
}

bool TAutoResetEvent::TryTake()
{
    std::lock_guard lock(FMutex);
    return std::exchange(FSignalled, false);
}
