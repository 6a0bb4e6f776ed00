#include "FormWorker.h"

#include "Runtime/AutoReleasePool.h"
#include "Runtime/Log.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct TFormWorker::TState {
    TUiForm& Form;
    mutable std::mutex Lock;
    std::condition_variable Wake;
    std::deque<TTask> Tasks;
    bool Stop = false;
    std::thread Thread;

    explicit TState(TUiForm& aForm) : Form(aForm) {}

    void Run(const std::weak_ptr<TState>& aSelf)
    {
        for (;;) {
            TTask task;
            {
                std::unique_lock lock(Lock);
                Wake.wait(lock, [this] { return Stop || !Tasks.empty(); });
                if (Stop)
                    return;
                task = std::move(Tasks.front());
                Tasks.pop_front();
            }
            TShow show;
            try {
                TRetainCountObjectAutoReleasePool pool;
                show = task();
            } catch (const std::exception& e) {
                TLog::O(lolWorn, "后台读取失败：%s", {e.what()});
            }
            if (!show)
                continue;
            std::lock_guard lock(Lock);
            if (Stop)
                return;
            // Appended under the lock: the form outlives the worker, and the
            // worker cannot stop between the check and the append.
            Form.AppendDelayBlock([aSelf, show = std::move(show)] {
                if (auto self = aSelf.lock()) {
                    TRetainCountObjectAutoReleasePool pool;
                    show();
                }
            });
        }
    }
};

TFormWorker::TFormWorker(TUiForm& aForm) : d(std::make_shared<TState>(aForm))
{
    std::weak_ptr<TState> self = d;
    d->Thread = std::thread([state = d.get(), self] { state->Run(self); });
}

TFormWorker::~TFormWorker()
{
    {
        std::lock_guard lock(d->Lock);
        d->Stop = true;
        d->Tasks.clear();
    }
    d->Wake.notify_all();
    d->Thread.join();
}

void TFormWorker::Post(TTask aTask)
{
    {
        std::lock_guard lock(d->Lock);
        d->Tasks.push_back(std::move(aTask));
    }
    d->Wake.notify_one();
}

void TFormWorker::Drop()
{
    std::lock_guard lock(d->Lock);
    d->Tasks.clear();
}

int TFormWorker::Pending() const
{
    std::lock_guard lock(d->Lock);
    return static_cast<int>(d->Tasks.size());
}
