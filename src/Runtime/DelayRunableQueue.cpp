#include "DelayRunableQueue.h"

#include "Log.h"

#include <vector>

TDelayRunableQueue::TDelayRunableQueue(std::function<void()> aWake) : FWake(std::move(aWake)) {}

TDelayRunableQueue::~TDelayRunableQueue()
{
    FWake = nullptr;   // nobody is left to be woken
    RunDelayRunablesLoggingErrors();
}

void TDelayRunableQueue::RunDelayRunablesLoggingErrors() noexcept
{
    try {
        RunDelayRunables();
    } catch (const std::exception& e) {
        TLog::O(lolError, "延迟运行异常：%s", {e.what()});
    } catch (...) {
        TLog::O(lolError, "延迟运行异常：未知异常");
    }
}

void TDelayRunableQueue::AppendDelayRunable(IRunable* aRunable)
{
    if (!aRunable)
        return;
    {
        std::lock_guard lock(FMonitor);
        FDelayRunableList.push_back(TRcRef<IRunable>::Retain(aRunable));
    }
    Wake();
}

void TDelayRunableQueue::AppendDelayBlock(std::function<void()> aBlock)
{
    auto runable = MakeRc<TRcBlockDelayRunable>(std::move(aBlock));
    AppendDelayRunable(runable.Get());
}

void TDelayRunableQueue::RunDelayRunables()
{
    std::vector<TRcRef<IRunable>> batch;
    {
        std::lock_guard lock(FMonitor);
        if (FDelayRunableList.empty())
            return;
        batch.assign(std::make_move_iterator(FDelayRunableList.begin()),
                     std::make_move_iterator(FDelayRunableList.end()));
        FDelayRunableList.clear();
    }
    for (std::size_t i = 0; i < batch.size(); ++i) {
        try {
            batch[i]->Run();
        } catch (...) {
            {
                std::lock_guard lock(FMonitor);
                FDelayRunableList.insert(FDelayRunableList.begin(), std::make_move_iterator(batch.begin() + i + 1),
                                         std::make_move_iterator(batch.end()));
            }
            // What was put back must not wait for an unrelated append.
            if (i + 1 < batch.size())
                Wake();
            throw;
        }
    }
}

std::size_t TDelayRunableQueue::PendingCount() const
{
    std::lock_guard lock(FMonitor);
    return FDelayRunableList.size();
}

void TDelayRunableQueue::Wake() const
{
    if (FWake)
        FWake();
}
