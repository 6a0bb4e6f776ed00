// The delayed-runable queue every form carries: any thread appends, the
// GUI thread runs, first in first out, never two at once.
//
// The queue knows no toolkit. Its wake function is called after every
// append (and after a failed drain that left work behind); the program
// wires it to a queued call of RunDelayRunables on the GUI thread, tests
// drain by hand.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "RcRef.h"
#include "Runable.h"

class TDelayRunableQueue {
public:
    explicit TDelayRunableQueue(std::function<void()> aWake = {});
    // Runs what is still queued once more (an exception is logged), then
    // drops whatever is left.
    ~TDelayRunableQueue();
    TDelayRunableQueue(const TDelayRunableQueue&) = delete;
    TDelayRunableQueue& operator=(const TDelayRunableQueue&) = delete;

    // Any thread. The queue holds a reference until the runable has run.
    void AppendDelayRunable(IRunable* aRunable);
    void AppendDelayBlock(std::function<void()> aBlock);

    // GUI thread. Runs everything queued when it starts, in order. If a
    // runable throws, the ones after it go back to the head of the queue,
    // in order, a wake-up is asked for, and the exception goes on to the
    // caller; the failing one is not kept.
    void RunDelayRunables();
    // The same, for callers with nobody to raise to (the event loop, the
    // destructor): an exception is logged instead.
    void RunDelayRunablesLoggingErrors() noexcept;

    std::size_t PendingCount() const;

private:
    void Wake() const;

    std::function<void()> FWake;
    mutable std::mutex FMonitor;
    std::deque<TRcRef<IRunable>> FDelayRunableList;
};
