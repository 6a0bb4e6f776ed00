#include "SchedulerClock.h"

TDateTime TSchedulerClock::Now()
{
    return ::Now();
}

bool TSchedulerClock::Wait(TAutoResetEvent& aEvent, uint32_t aTimeoutMs)
{
    return aEvent.WaitFor(aTimeoutMs);
}
