#include "PlatformRequestRunner.h"

#include "Runtime/AutoReleasePool.h"
#include "Runtime/DelayRunableQueue.h"
#include "Runtime/Log.h"
#include "Runtime/RunableCancelList.h"

#include <atomic>
#include <exception>
#include <utility>
#include <vector>

// Shared by the handle, the worker thread and the delivery waiting in a
// queue; whichever lets go last frees it.
struct TPlatformRequestState {
    // Recursive: a callback may drop or cancel its own handle, or stop the
    // runner, while its delivery holds the lock.
    std::recursive_mutex Mutex;
    bool Live = true;         // the callback may still run
    bool Delivering = false;  // the callback is running now
    TDelayRunableQueue* Queue = nullptr;   // only touched while Live, under the lock
    TPlatformDone Done;

    TRunableCancelList CancelList;
    std::atomic<bool> CancelRequested{false};
    std::atomic<bool> ThreadEnded{false};

    void Cancel()
    {
        // The flag first: a request registering now sees one or the other.
        CancelRequested.store(true);
        CancelList.Cancel();
    }

    // No callback after this returns, and the queue is never touched again.
    void Silence()
    {
        TPlatformDone dropped;
        {
            std::lock_guard lock(Mutex);
            Live = false;
            Queue = nullptr;
            // A running callback is left whole; its delivery drops it.
            if (!Delivering)
                dropped = std::move(Done);
        }
        // The captures go on the caller's thread, outside the lock.
    }

    // Runs the callback once, if it still may. Its exception goes on to the
    // caller (the queue's drain, or the worker, which logs it).
    void Deliver(const TPlatformReply& aReply)
    {
        TPlatformDone done;
        std::lock_guard lock(Mutex);
        if (!Live)
            return;
        Live = false;
        Queue = nullptr;
        Delivering = true;
        struct TEnd {
            TPlatformRequestState& State;
            TPlatformDone& Done;
            ~TEnd()
            {
                State.Delivering = false;
                Done = std::move(State.Done);
            }
        } end{*this, done};
        if (Done)
            Done(aReply);
    }
};

TPlatformRequest::~TPlatformRequest()
{
    Drop();
}

TPlatformRequest& TPlatformRequest::operator=(TPlatformRequest&& aOther) noexcept
{
    if (this != &aOther) {
        Drop();
        FState = std::move(aOther.FState);
    }
    return *this;
}

void TPlatformRequest::Drop() noexcept
{
    if (auto state = std::exchange(FState, nullptr)) {
        try {
            state->Silence();
            state->Cancel();
        } catch (const std::exception& e) {
            TLog::O(lolError, "平台请求取消失败：%s", {e.what()});
        }
    }
}

void TPlatformRequest::Cancel()
{
    if (FState)
        FState->Cancel();
}

void TPlatformRequest::Detach()
{
    auto state = std::exchange(FState, nullptr);
    if (!state)
        return;
    std::lock_guard lock(state->Mutex);
    if (state->Queue)
        state->Silence();
}

bool TPlatformRequest::Pending() const
{
    if (!FState)
        return false;
    std::lock_guard lock(FState->Mutex);
    return FState->Live;
}

TPlatformRequestRunner::~TPlatformRequestRunner()
{
    Stop();
}

TPlatformRequest TPlatformRequestRunner::Start(TPlatformContext aContext, TPlatformWork aWork,
                                               TDelayRunableQueue* aQueue, TPlatformDone aDone)
{
    std::lock_guard lock(FMutex);
    JoinFinishedLocked();
    if (FStopped) {
        TLog::O(lolWorn, "平台请求已停止，不再发出新的请求");
        return {};
    }
    auto state = std::make_shared<TPlatformRequestState>();
    state->Queue = aQueue;
    state->Done = std::move(aDone);
    aContext.CancelList = &state->CancelList;
    aContext.Cancelled = &state->CancelRequested;

    TWorker worker;
    worker.State = state;
    worker.Thread = std::thread([state, context = std::move(aContext), work = std::move(aWork)]() mutable {
        TLog::UpdateCurrentThreadName("平台请求");
        {
            TRetainCountObjectAutoReleasePool pool;
            TPlatformReply reply;
            try {
                reply = work(context);
            } catch (const std::exception& e) {
                reply = {};
                reply.ErrorText = e.what();
            }
            // The context holds the account's texts and the message lookup;
            // they go here, on this thread.
            work = nullptr;
            context = {};
            try {
                std::lock_guard stateLock(state->Mutex);
                if (state->Live && state->Queue) {
                    // Under the lock: a handle dropped on another thread
                    // waits for this, so its queue is still there.
                    state->Queue->AppendDelayBlock([state, reply] { state->Deliver(reply); });
                } else if (state->Live) {
                    state->Deliver(reply);
                }
            } catch (const std::exception& e) {
                TLog::O(lolError, "平台请求回调异常：%s", {e.what()});
            }
        }
        state->ThreadEnded.store(true);
    });
    FWorkers.push_back(std::move(worker));
    return TPlatformRequest(std::move(state));
}

void TPlatformRequestRunner::Stop()
{
    std::list<TWorker> workers;
    {
        std::lock_guard lock(FMutex);
        FStopped = true;
        workers.swap(FWorkers);
    }
    for (auto& worker : workers) {
        worker.State->Silence();
        worker.State->Cancel();
    }
    for (auto& worker : workers) {
        // A callback on a worker thread that stops the runner cannot wait
        // for itself; that thread only has its return left.
        if (worker.Thread.get_id() == std::this_thread::get_id())
            worker.Thread.detach();
        else if (worker.Thread.joinable())
            worker.Thread.join();
    }
}

void TPlatformRequestRunner::Restart()
{
    std::lock_guard lock(FMutex);
    FStopped = false;
}

std::size_t TPlatformRequestRunner::RunningCount() const
{
    std::lock_guard lock(FMutex);
    std::size_t count = 0;
    for (const auto& worker : FWorkers)
        if (!worker.State->ThreadEnded.load())
            ++count;
    return count;
}

void TPlatformRequestRunner::JoinFinishedLocked()
{
    for (auto it = FWorkers.begin(); it != FWorkers.end();) {
        if (it->State->ThreadEnded.load()) {
            it->Thread.join();
            it = FWorkers.erase(it);
        } else {
            ++it;
        }
    }
}
