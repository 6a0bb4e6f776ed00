// Platform requests off the GUI thread.
//
// The screens ask the maker's platform things (save an account, ask for a
// re-translation) and must not freeze while it answers. Each request runs
// on a thread of its own; its reply goes back through the caller's
// delayed-runable queue, so the callback runs on the thread that drains
// that queue (the GUI thread).
//
// The caller holds a TPlatformRequest for as long as it wants the answer.
// Dropping it cancels the request, and the callback never runs after the
// handle is gone, even when the reply is already waiting in the queue: the
// queued delivery checks the request's shared state when it runs. A form
// therefore keeps its handles in members declared after its queue (so they
// go first). Cancel() ends the request early but still delivers its
// (cancelled) reply; Detach() leaves a request to run to its end on its
// own.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "PlatformRequests.h"

class TDelayRunableQueue;
class TRunableCancelList;

using TPlatformDone = std::function<void(const TPlatformReply& aReply)>;
// The blocking request: runs on the worker thread with the context's
// cancel list and flag filled in by the runner.
using TPlatformWork = std::function<TPlatformReply(TPlatformContext& aContext)>;

struct TPlatformRequestState;

class TPlatformRequest {
public:
    TPlatformRequest() = default;
    explicit TPlatformRequest(std::shared_ptr<TPlatformRequestState> aState) : FState(std::move(aState)) {}
    // Cancels the request; its callback never runs after this.
    ~TPlatformRequest();
    TPlatformRequest(TPlatformRequest&& aOther) noexcept = default;
    // Drops the request held before, as the destructor does.
    TPlatformRequest& operator=(TPlatformRequest&& aOther) noexcept;
    TPlatformRequest(const TPlatformRequest&) = delete;
    TPlatformRequest& operator=(const TPlatformRequest&) = delete;

    // From any thread. The request returns soon; the callback still gets
    // its reply (Cancelled set, unless a whole reply had come first).
    void Cancel();
    // Lets the request go on without this handle. A reply meant for a
    // queue is dropped (the queue may be gone by then); a callback without
    // a queue still runs on the worker thread.
    void Detach();
    // This handle holds a request whose callback has not run yet.
    bool Pending() const;

private:
    void Drop() noexcept;

    std::shared_ptr<TPlatformRequestState> FState;
};

class TPlatformRequestRunner {
public:
    TPlatformRequestRunner() = default;
    // Stops.
    ~TPlatformRequestRunner();
    TPlatformRequestRunner(const TPlatformRequestRunner&) = delete;
    TPlatformRequestRunner& operator=(const TPlatformRequestRunner&) = delete;

    // Runs aWork on a new thread with a context of aContext, then hands its
    // reply to aDone: through aQueue when given (aDone then runs where the
    // queue is drained), else on the worker thread. aWork must not throw;
    // if it does, the reply carries the message. After Stop nothing is
    // started: the handle is empty and aDone is never called.
    TPlatformRequest Start(TPlatformContext aContext, TPlatformWork aWork, TDelayRunableQueue* aQueue,
                           TPlatformDone aDone);

    // Cancels every running request, waits for their threads, and drops
    // every reply not delivered yet; later Starts are refused until
    // Restart. Called before the managers the requests read are released.
    void Stop();
    void Restart();

    // Requests whose threads have not ended.
    std::size_t RunningCount() const;

private:
    struct TWorker {
        std::shared_ptr<TPlatformRequestState> State;
        std::thread Thread;
    };
    // Joins the threads that have ended (they only have a return left).
    void JoinFinishedLocked();

    mutable std::mutex FMutex;
    bool FStopped = false;
    std::list<TWorker> FWorkers;
};
