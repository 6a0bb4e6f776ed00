// A worker thread that runs one runable inside an autorelease pool of its
// own, so whatever Run autoreleases is released on that thread when it
// ends. An exception escaping Run is logged; it never ends the process.
#pragma once

#include <thread>

#include "RcRef.h"
#include "Runable.h"

class TThreadForRunable {
public:
    // Holds aRunable until its Run has ended. Created suspended unless
    // aCreateSuspended is false.
    TThreadForRunable(IRunable* aRunable, bool aCreateSuspended = true);
    // Waits for the thread to end; the owner cancels the runable first.
    ~TThreadForRunable();
    TThreadForRunable(const TThreadForRunable&) = delete;
    TThreadForRunable& operator=(const TThreadForRunable&) = delete;

    void Start();
    void WaitFor();
    bool Started() const { return FThread.joinable(); }

private:
    void Execute();

    TRcRef<IRunable> FRunable;
    std::thread FThread;
};
