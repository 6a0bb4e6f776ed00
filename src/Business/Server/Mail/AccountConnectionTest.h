// TAccountConnectionTest: the account connection test on a thread of its
// own, as the new-account dialog and the settings screen start it. The
// observable's callbacks come from that thread; the screen passes them on
// to its delayed-runable queue, so its thread never waits on a server.
//
//     TAccountConnectionTest test(account, observable);
//     test.Start();
//     ...                      // the callbacks report each step
//     test.Cancel();           // the button, if the user gives up
#pragma once

#include <memory>

#include "ReceiveCheckMailRunable.h"
#include "Runtime/ThreadForRunable.h"

class TAccountConnectionTest {
public:
    // aObservable must outlive the test.
    TAccountConnectionTest(TRcAccount* aAccount, TEmailTestObservable& aObservable, TTransportTuning aTuning = {});
    // Cancels a test still running and waits for its thread, which ends at
    // once: a cancel breaks any connect or read in progress.
    ~TAccountConnectionTest();
    TAccountConnectionTest(const TAccountConnectionTest&) = delete;
    TAccountConnectionTest& operator=(const TAccountConnectionTest&) = delete;

    void Start();
    // Any thread.
    void Cancel() { FRunable->Cancel(); }

private:
    TRcRef<TRcReceiveCheckMailRunable> FRunable;
    std::unique_ptr<TThreadForRunable> FThread;
};
