#include "ThreadForRunable.h"

#include "AutoReleasePool.h"
#include "Log.h"

TThreadForRunable::TThreadForRunable(IRunable* aRunable, bool aCreateSuspended)
    : FRunable(TRcRef<IRunable>::Retain(aRunable))
{
    if (!aCreateSuspended)
        Start();
}

TThreadForRunable::~TThreadForRunable()
{
    // Freed from its own thread (a runable that drops its owner): the
    // thread cannot wait for itself, and ends on its own.
    if (FThread.joinable() && FThread.get_id() == std::this_thread::get_id())
        FThread.detach();
    WaitFor();
}

void TThreadForRunable::Start()
{
    if (!FThread.joinable())
        FThread = std::thread([this] { Execute(); });
}

void TThreadForRunable::WaitFor()
{
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.join();
}

void TThreadForRunable::Execute()
{
    // Dropped on every way out, after the pool has drained.
    TRcRef<IRunable> runable = std::move(FRunable);
    if (!runable)
        return;
    try {
        TRetainCountObjectAutoReleasePool pool;
        runable->Run();
    } catch (const std::exception& e) {
        TLog::O(lolError, "线程运行异常：%s", {e.what()});
    } catch (...) {
        TLog::O(lolError, "线程运行异常：未知异常");
    }
}
