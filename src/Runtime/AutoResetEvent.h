// An auto-reset event: Set wakes one waiter, or the next one to wait; a
// wake-up consumes the signal, and any number of Sets before it count as
// one.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class TAutoResetEvent {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    void Set();
    // True when signalled within aTimeoutMs (kInfinite waits for ever);
    // the signal is consumed.
    bool WaitFor(uint32_t aTimeoutMs);
    // Consumes a pending signal without waiting.
    bool TryTake();

private:
    std::mutex FMutex;
    std::condition_variable FCondition;
    bool FSignalled = false;
};
