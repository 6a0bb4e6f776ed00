#include "Runtime/AutoReleasePool.h"
#include "Runtime/Observable.h"

#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A value argument whose hash the test chooses, as paths are to managers.
struct TArg : TRcObject {
    std::string Name;
    int32_t H;
    TArg(std::string aName, int32_t aH) : Name(std::move(aName)), H(aH) {}
    int32_t HashCode() const override { return H; }
    bool Equals(const TRcObject* aObj) const override
    {
        auto* other = dynamic_cast<const TArg*>(aObj);
        return other && other->Name == Name;
    }
};

class ITestObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TArg* aArg) = 0;
    virtual void OnChanged(TArg* aArg) = 0;
    virtual void OnListChanged() = 0;
};

std::vector<std::string> gCalls;

struct TRecorder : TRcObject, ITestObserver {
    static inline int Alive = 0;
    std::string Name;
    std::function<void()> OnCall;
    explicit TRecorder(std::string aName) : Name(std::move(aName)) { ++Alive; }
    ~TRecorder() override { --Alive; }
    void Record(const std::string& aWhat)
    {
        gCalls.push_back(Name + " " + aWhat);
        if (OnCall)
            OnCall();
    }
    void OnContentChanged(TArg* aArg) override { Record("content " + aArg->Name); }
    void OnChanged(TArg* aArg) override { Record("changed " + aArg->Name); }
    void OnListChanged() override { Record("list"); }
};

// Kinds in delivery order: content, changed, list.
class TTestObservable : public TRcBatchingObservable<ITestObserver, TArg, 3> {
public:
    TTestObservable()
        : TRcBatchingObservable({[](ITestObserver& o, TArg* a) { o.OnContentChanged(a); },
                                 [](ITestObserver& o, TArg* a) { o.OnChanged(a); },
                                 [](ITestObserver& o, TArg*) { o.OnListChanged(); }})
    {
    }
    void NotifyContentChanged(TArg* aArg) { Notify(0, aArg); }
    void NotifyChanged(TArg* aArg) { Notify(1, aArg); }
    void NotifyListChanged() { Notify(2, nullptr); }
};

class ObservableTest : public ::testing::Test {
protected:
    void SetUp() override { gCalls.clear(); }
    TRetainCountObjectAutoReleasePool FPool;
    TRcRef<TTestObservable> FObservable = MakeRc<TTestObservable>();
    TArg* Arg(const char* aName, int32_t aHash = 0) { return RcCreateAndAutoRelease<TArg>(aName, aHash); }
};

TEST_F(ObservableTest, RegistrationOrderIsDeliveryOrder)
{
    for (const char* name : {"A", "B", "C"})
        FObservable->RegisterObserver(RcCreateAndAutoRelease<TRecorder>(name));
    FObservable->NotifyChanged(Arg("p"));
    EXPECT_EQ(gCalls, (std::vector<std::string>{"A changed p", "B changed p", "C changed p"}));
}

TEST_F(ObservableTest, RegistrationErrors)
{
    auto* a = RcCreateAndAutoRelease<TRecorder>("A");
    ExpectMessage([&] { FObservable->RegisterObserver(nullptr); }, "观察者无效");
    ExpectMessage([&] { FObservable->UnRegisterObserver(nullptr); }, "观察者无效");
    ExpectMessage([&] { FObservable->UnRegisterObserver(a); }, "观察者没有注册");
    FObservable->RegisterObserver(a);
    ExpectMessage([&] { FObservable->RegisterObserver(a); }, "观察者已经注册");
    EXPECT_EQ(FObservable->ObserverCount(), 1);
}

TEST_F(ObservableTest, ObserversAreHeldUntilUnregisteredOrTheObservableGoes)
{
    TRecorder::Alive = 0;
    auto* a = new TRecorder("A");
    FObservable->RegisterObserver(a);
    a->Release();
    EXPECT_EQ(TRecorder::Alive, 1);
    FObservable->UnRegisterObserver(a);
    EXPECT_EQ(TRecorder::Alive, 0);

    auto* b = new TRecorder("B");
    FObservable->RegisterObserver(b);
    b->Release();
    FObservable.Reset();
    EXPECT_EQ(TRecorder::Alive, 0);
}

TEST_F(ObservableTest, AnObserverMayUnregisterItselfWhileNotified)
{
    auto* a = RcCreateAndAutoRelease<TRecorder>("A");
    auto* b = RcCreateAndAutoRelease<TRecorder>("B");
    a->OnCall = [&] { FObservable->UnRegisterObserver(a); };
    FObservable->RegisterObserver(a);
    FObservable->RegisterObserver(b);
    FObservable->NotifyChanged(Arg("p"));
    FObservable->NotifyChanged(Arg("q"));
    EXPECT_EQ(gCalls, (std::vector<std::string>{"A changed p", "B changed p", "B changed q"}));
}

TEST_F(ObservableTest, UnregisteringFromAnotherThreadWaitsForTheNotification)
{
    auto* a = RcCreateAndAutoRelease<TRecorder>("A");
    std::atomic<bool> inside{false}, leaving{false};
    a->OnCall = [&] {
        inside = true;
        std::this_thread::sleep_for(100ms);
        leaving = true;
    };
    FObservable->RegisterObserver(a);
    bool unregisteredWhileInside = true;
    std::thread other([&] {
        while (!inside)
            std::this_thread::yield();
        FObservable->UnRegisterObserver(a);
        unregisteredWhileInside = !leaving;
    });
    FObservable->NotifyChanged(Arg("p"));
    other.join();
    EXPECT_FALSE(unregisteredWhileInside);
}

TEST_F(ObservableTest, BatchesDeliverEachArgumentOnceInKindOrder)
{
    FObservable->RegisterObserver(RcCreateAndAutoRelease<TRecorder>("A"));
    FObservable->BeginUpdate();
    FObservable->NotifyChanged(Arg("folder"));
    FObservable->NotifyListChanged();
    for (int i = 0; i < 5; ++i)
        FObservable->NotifyContentChanged(Arg("m1", 7));
    FObservable->NotifyContentChanged(Arg("m2", 7));   // same hash, another argument
    FObservable->NotifyContentChanged(Arg("m2", 7));
    FObservable->NotifyListChanged();
    EXPECT_TRUE(gCalls.empty());
    FObservable->EndUpdate();
    EXPECT_EQ(gCalls, (std::vector<std::string>{"A content m1", "A content m2", "A changed folder", "A list"}));

    gCalls.clear();
    FObservable->NotifyChanged(Arg("now"));
    EXPECT_EQ(gCalls, std::vector<std::string>{"A changed now"});
}

TEST_F(ObservableTest, NestedBatchesDeliverAtTheOutermostEnd)
{
    FObservable->RegisterObserver(RcCreateAndAutoRelease<TRecorder>("A"));
    FObservable->BeginUpdate();
    FObservable->BeginUpdate();
    FObservable->NotifyChanged(Arg("f"));
    FObservable->EndUpdate();
    EXPECT_TRUE(gCalls.empty());
    FObservable->EndUpdate();
    EXPECT_EQ(gCalls, std::vector<std::string>{"A changed f"});
    FObservable->EndUpdate();   // unbalanced: logged and ignored
    EXPECT_EQ(FObservable->UpdateCount(), 0);
}

TEST_F(ObservableTest, AnObserversErrorEndsThePassAndLeavesNothingPending)
{
    auto* a = RcCreateAndAutoRelease<TRecorder>("A");
    auto* b = RcCreateAndAutoRelease<TRecorder>("B");
    a->OnCall = [] { throw Exception("observer failed"); };
    FObservable->RegisterObserver(a);
    FObservable->RegisterObserver(b);
    FObservable->BeginUpdate();
    FObservable->NotifyChanged(Arg("f"));
    EXPECT_THROW(FObservable->EndUpdate(), Exception);
    EXPECT_EQ(gCalls, std::vector<std::string>{"A changed f"});
    a->OnCall = nullptr;
    gCalls.clear();
    FObservable->BeginUpdate();
    FObservable->EndUpdate();
    EXPECT_TRUE(gCalls.empty());
}

} // namespace
