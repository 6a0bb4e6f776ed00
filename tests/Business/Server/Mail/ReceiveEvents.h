// What a receive run tells its observers, recorded for the tests, with a
// wait for the end of a job.
#pragma once

#include "Business/Server/MailSendReceiveObserver.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class TReceiveEvents : public TRcObject, public IMailSendReciveObserver {
public:
    struct TEvent {
        std::string Kind;   // "info", "error", "progress", "switch", "activity", "task end"
        std::string Text;
        int64_t Curr = 0;
        int64_t Max = 0;
    };

    void ProcessBegin() override {}
    void ProcessEnd() override {}
    void TaskBegin(int, const std::string&) override {}
    void TaskEnd(int) override { Add({"task end", {}}); }
    void ActivityBegin(int, const std::string& aCaption, TRcResId*) override { Add({"activity", aCaption}); }
    void ActivityEnd(int) override {}
    void MailSwitch(int, int aCount, TMailSwitchKind, int aIndex) override { Add({"switch", {}, aIndex, aCount}); }
    void MailUpdateDesc(int, const std::string&) override {}
    void MailProgress(int, const std::string& aMessage, int64_t aCurr, int64_t aMax) override
    {
        Add({"progress", aMessage, aCurr, aMax});
        std::function<void(const TEvent&)> hook;
        {
            std::lock_guard lock(FMutex);
            hook = FOnProgress;
        }
        if (hook)
            hook(TEvent{"progress", aMessage, aCurr, aMax});
    }
    void TaskUpdateInfo(int, const std::string& aMessage) override { Add({"info", aMessage}); }
    void TaskUpdateSubject(int, const std::string&, const std::string&) override {}
    void TaskOccurError(int, const std::string& aMessage) override { Add({"error", aMessage}); }
    void OccurError(const std::string& aMessage) override { Add({"error", aMessage}); }

    // Called on the scheduler thread for every progress event.
    void OnProgress(std::function<void(const TEvent&)> aHook)
    {
        std::lock_guard lock(FMutex);
        FOnProgress = std::move(aHook);
    }
    // Waits until aCount jobs have ended since the start; false after 60 s.
    bool WaitForTaskEnds(int aCount)
    {
        std::unique_lock lock(FMutex);
        return FChanged.wait_for(lock, std::chrono::seconds(60), [&] { return FTaskEnds >= aCount; });
    }
    std::vector<TEvent> Events()
    {
        std::lock_guard lock(FMutex);
        return FEvents;
    }
    void Clear()
    {
        std::lock_guard lock(FMutex);
        FEvents.clear();
    }
    std::vector<std::string> Texts(const std::string& aKind)
    {
        std::vector<std::string> texts;
        for (const TEvent& event : Events())
            if (event.Kind == aKind)
                texts.push_back(event.Text);
        return texts;
    }
    // Header reads: their progress carries two blanks.
    int HeaderReads()
    {
        int count = 0;
        for (const TEvent& event : Events())
            count += event.Kind == "progress" && event.Text == "  " ? 1 : 0;
        return count;
    }

private:
    void Add(TEvent aEvent)
    {
        std::lock_guard lock(FMutex);
        if (aEvent.Kind == "task end")
            ++FTaskEnds;
        FEvents.push_back(std::move(aEvent));
        FChanged.notify_all();
    }

    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<TEvent> FEvents;
    int FTaskEnds = 0;
    std::function<void(const TEvent&)> FOnProgress;
};
