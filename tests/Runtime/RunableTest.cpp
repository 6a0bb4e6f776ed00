#include "Runtime/AutoReleasePool.h"
#include "Runtime/DelayRunableQueue.h"
#include "Runtime/RunableCancelList.h"
#include "Runtime/ThreadForRunable.h"

#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TDiesOn : TRcObject {
    std::thread::id* DiedOn;
    explicit TDiesOn(std::thread::id* aDiedOn) : DiedOn(aDiedOn) {}
    ~TDiesOn() override { *DiedOn = std::this_thread::get_id(); }
};

struct TAutoreleasing : TRcObject, IRunable {
    std::thread::id RanOn, DiedOn;
    bool Throw = false;
    void Run() override
    {
        RanOn = std::this_thread::get_id();
        RcCreateAndAutoRelease<TDiesOn>(&DiedOn);
        if (Throw)
            throw Exception("run failed");
    }
};

TEST(ThreadForRunableTest, TheWorkersPoolReleasesWhatRunAutoreleased)
{
    for (bool fails : {false, true}) {
        auto runable = MakeRc<TAutoreleasing>();
        runable->Throw = fails;
        {
            TThreadForRunable thread(runable.Get());
            EXPECT_EQ(runable->RetainCount(), 2);   // the thread holds it
            thread.Start();
            thread.WaitFor();
        }
        EXPECT_NE(runable->RanOn, std::this_thread::get_id());
        EXPECT_EQ(runable->DiedOn, runable->RanOn) << "fails=" << fails;
        EXPECT_EQ(runable->RetainCount(), 1);   // dropped when Run ended
    }
}

std::vector<std::string> gRan;

TRcRef<TRcBlockDelayRunable> Step(std::string aName, bool aThrow = false)
{
    return MakeRc<TRcBlockDelayRunable>([aName, aThrow] {
        gRan.push_back(aName);
        if (aThrow)
            throw Exception(aName + " failed");
    });
}

TEST(DelayRunableQueueTest, FifoFromAnyThreadInOneDrain)
{
    gRan.clear();
    std::atomic<int> wakes{0};
    TDelayRunableQueue queue([&] { ++wakes; });
    std::thread worker([&] {
        TRetainCountObjectAutoReleasePool pool;
        for (const char* name : {"A", "B", "C"})
            queue.AppendDelayRunable(TRcBlockDelayRunable::CreateAndAutoRelease([name] { gRan.push_back(name); }));
    });
    worker.join();   // the worker's pool is gone: the queue keeps them alive
    EXPECT_EQ(wakes, 3);
    EXPECT_TRUE(gRan.empty());
    queue.RunDelayRunables();
    EXPECT_EQ(gRan, (std::vector<std::string>{"A", "B", "C"}));
    queue.RunDelayRunables();   // a later wake-up finds nothing
    EXPECT_EQ(gRan.size(), 3u);
}

TEST(DelayRunableQueueTest, AFailureRequeuesTheRestAndWakes)
{
    gRan.clear();
    int wakes = 0;
    TDelayRunableQueue queue([&] { ++wakes; });
    for (auto& step : {Step("A"), Step("B", true), Step("C"), Step("D")})
        queue.AppendDelayRunable(step.Get());
    queue.AppendDelayBlock([] { gRan.push_back("E"); });
    wakes = 0;
    EXPECT_THROW(queue.RunDelayRunables(), Exception);
    EXPECT_EQ(gRan, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(wakes, 1);   // what was put back asks to run
    EXPECT_EQ(queue.PendingCount(), 3u);
    queue.AppendDelayRunable(Step("F").Get());
    queue.RunDelayRunables();
    EXPECT_EQ(gRan, (std::vector<std::string>{"A", "B", "C", "D", "E", "F"}));
}

TEST(DelayRunableQueueTest, WhatIsQueuedRunsWhenTheQueueGoes)
{
    gRan.clear();
    {
        TDelayRunableQueue queue;
        queue.AppendDelayRunable(Step("A", true).Get());
        queue.AppendDelayRunable(Step("B").Get());
    }
    EXPECT_EQ(gRan, (std::vector<std::string>{"A"}));   // B was put back, then dropped
    gRan.clear();
    {
        TDelayRunableQueue queue;
        queue.AppendDelayRunable(Step("A").Get());
        queue.AppendDelayRunable(Step("B").Get());
    }
    EXPECT_EQ(gRan, (std::vector<std::string>{"A", "B"}));
}

struct TCancelable : TRcObject, IRunableCancel {
    std::string Name;
    explicit TCancelable(std::string aName) : Name(std::move(aName)) {}
    void Cancel() override { gRan.push_back("cancel " + Name); }
};

TEST(RunableCancelListTest, RegistrationErrorsAndOrder)
{
    gRan.clear();
    TRunableCancelList list;
    list.Cancel();   // nothing registered: nothing happens
    auto a = MakeRc<TCancelable>("a"), b = MakeRc<TCancelable>("b");
    ExpectMessage([&] { list.Register(nullptr); }, "可运行取消接口无效");
    ExpectMessage([&] { list.UnRegister(nullptr); }, "可运行取消接口无效");
    ExpectMessage([&] { list.UnRegister(a.Get()); }, "可运行取消接口没有注册");
    list.Register(a.Get());
    list.Register(b.Get());
    ExpectMessage([&] { list.Register(a.Get()); }, "可运行取消接口已经注册");
    EXPECT_EQ(a->RetainCount(), 2);
    list.Cancel();
    EXPECT_EQ(gRan, (std::vector<std::string>{"cancel a", "cancel b"}));
    list.UnRegister(a.Get());
    EXPECT_EQ(a->RetainCount(), 1);
    EXPECT_EQ(list.Count(), 1);
}

} // namespace
