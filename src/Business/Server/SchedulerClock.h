// Time as the scheduler sees it: the current date-time and its sleep on
// the wake-up event. Tests put in a clock of their own, so the waiting and
// retry rules are checked without sleeping for minutes.
#pragma once

#include <cstdint>
#include <memory>

#include "Runtime/AutoResetEvent.h"
#include "Runtime/DateTime.h"

class TSchedulerClock {
public:
    virtual ~TSchedulerClock() = default;
    virtual TDateTime Now();
    // True when aEvent woke the sleeper, false when aTimeoutMs passed
    // (TAutoResetEvent::kInfinite: no limit).
    virtual bool Wait(TAutoResetEvent& aEvent, uint32_t aTimeoutMs);
};

using TSchedulerClockPtr = std::shared_ptr<TSchedulerClock>;
