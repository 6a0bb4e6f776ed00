#include "Runtime/AutoReleasePool.h"
#include "Runtime/Errors.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Records every death, so tests see when and in which order objects go.
struct TCounted : TRcObject {
    static inline std::vector<int> Died;
    int Id;
    explicit TCounted(int aId) : Id(aId) {}
    ~TCounted() override { Died.push_back(Id); }
};

class RcObjectTest : public ::testing::Test {
protected:
    void SetUp() override { TCounted::Died.clear(); }
};

// One step of a lifetime: R retain, r release, A autorelease, ( open a
// pool, ) close the innermost pool. After each step the expected count
// (0: destroyed).
struct TLifetimeCase {
    const char* Name;
    const char* Steps;
    std::vector<int> Counts;
};

void PrintTo(const TLifetimeCase& aCase, std::ostream* aOut)
{
    *aOut << aCase.Name << " \"" << aCase.Steps << "\"";
}

class RcLifetimeTest : public RcObjectTest, public ::testing::WithParamInterface<TLifetimeCase> {};

TEST_P(RcLifetimeTest, CountsFollowTheSteps)
{
    const auto& c = GetParam();
    auto* object = new TCounted(7);
    std::vector<std::unique_ptr<TRetainCountObjectAutoReleasePool>> pools;
    struct TInnermostFirst {
        decltype(pools)& P;
        ~TInnermostFirst() { while (!P.empty()) P.pop_back(); }
    } closeLeftovers{pools};
    ASSERT_EQ(std::string(c.Steps).size(), c.Counts.size());
    for (std::size_t i = 0; c.Steps[i]; ++i) {
        switch (c.Steps[i]) {
        case 'R': object->Retain(); break;
        case 'r': object->Release(); break;
        case 'A': object->AutoRelease(); break;
        case '(': pools.push_back(std::make_unique<TRetainCountObjectAutoReleasePool>()); break;
        case ')': pools.pop_back(); break;
        }
        if (c.Counts[i] == 0) {
            EXPECT_EQ(TCounted::Died, std::vector<int>{7}) << "step " << i;
            return;
        }
        EXPECT_TRUE(TCounted::Died.empty()) << "step " << i;
        EXPECT_EQ(object->RetainCount(), c.Counts[i]) << "step " << i;
    }
    FAIL() << "the object outlived its steps";
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, RcLifetimeTest,
    ::testing::Values(
        TLifetimeCase{"CreateThenRelease", "r", {0}},
        TLifetimeCase{"AutoreleaseLivesUntilDrain", "(A)", {1, 1, 0}},
        TLifetimeCase{"RetainOutlivesDrain", "(AR)r", {1, 1, 2, 1, 0}},
        TLifetimeCase{"AutoreleaseTwiceReleasesTwice", "R(AA)", {2, 2, 2, 2, 0}},
        TLifetimeCase{"InnerPoolDrainsFirst", "((A)", {1, 1, 1, 0}},
        TLifetimeCase{"OuterPoolKeepsItsOwn", "(R(A)A)", {1, 2, 2, 2, 1, 1, 0}},
        TLifetimeCase{"RetainReleasePairs", "RRrrr", {2, 3, 2, 1, 0}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RcObjectTest, DrainReleasesInReverseOrder)
{
    {
        TRetainCountObjectAutoReleasePool pool;
        for (int id = 1; id <= 3; ++id)
            RcCreateAndAutoRelease<TCounted>(id);
        EXPECT_EQ(pool.PendingCount(), 3u);
    }
    EXPECT_EQ(TCounted::Died, (std::vector<int>{3, 2, 1}));
}

// Autoreleases what it holds as it dies.
struct THolder : TRcObject {
    TRcObject* FChild;
    explicit THolder(TRcObject* aChild) : FChild(aChild) {}
    ~THolder() override { FChild->AutoRelease(); }
};

TEST_F(RcObjectTest, AutoreleaseDuringDrainGoesToTheOuterPool)
{
    TRetainCountObjectAutoReleasePool outer;
    auto* child = new TCounted(1);
    {
        TRetainCountObjectAutoReleasePool inner;
        RcCreateAndAutoRelease<THolder>(child);
    }
    EXPECT_TRUE(TCounted::Died.empty());
    EXPECT_EQ(outer.PendingCount(), 1u);
}

TEST_F(RcObjectTest, LastPoolTakesTheThreadManagerAlong)
{
    EXPECT_EQ(TAutoReleasePoolManager::Current(), nullptr);
    {
        TRetainCountObjectAutoReleasePool outer;
        TRetainCountObjectAutoReleasePool inner;
        ASSERT_NE(TAutoReleasePoolManager::Current(), nullptr);
        EXPECT_EQ(TAutoReleasePoolManager::Current()->PoolCount(), 2u);
        EXPECT_EQ(TAutoReleasePoolManager::Current()->PeekPool(), &inner);
    }
    EXPECT_EQ(TAutoReleasePoolManager::Current(), nullptr);
    TRetainCountObjectAutoReleasePool again;
    EXPECT_EQ(TAutoReleasePoolManager::Current()->PoolCount(), 1u);
}

TEST_F(RcObjectTest, DoProcDrainsWhenTheProcedureThrows)
{
    EXPECT_THROW(TRetainCountObjectAutoReleasePool::DoProc([] {
                     RcCreateAndAutoRelease<TCounted>(5);
                     throw Exception("boom");
                 }),
                 Exception);
    EXPECT_EQ(TCounted::Died, std::vector<int>{5});
    EXPECT_EQ(TAutoReleasePoolManager::Current(), nullptr);
}

TEST_F(RcObjectTest, AutoreleaseWithoutPoolIsAnInvalidPointerError)
{
    auto* object = new TCounted(1);
    EXPECT_THROW(object->AutoRelease(), EInvalidPointer);
    EXPECT_TRUE(TCounted::Died.empty());
    object->Release();
    // The factory does not leak what it could not hand to a pool.
    EXPECT_THROW(RcCreateAndAutoRelease<TCounted>(2), EInvalidPointer);
    EXPECT_EQ(TCounted::Died, (std::vector<int>{1, 2}));
}

using RcObjectDeathTest = RcObjectTest;

TEST_F(RcObjectDeathTest, MisorderedPoolIsReportedAndAborts)
{
    EXPECT_DEATH(
        {
            auto outer = std::make_unique<TRetainCountObjectAutoReleasePool>();
            auto inner = std::make_unique<TRetainCountObjectAutoReleasePool>();
            outer.reset();
        },
        "Invalid pointer operation.*not the innermost");
}

TEST_F(RcObjectDeathTest, DeletingInsteadOfReleasingAborts)
{
    EXPECT_DEATH(delete new TCounted(1), "Invalid pointer operation.*without Release");
}

struct TFailsToConstruct : TCounted {
    TFailsToConstruct() : TCounted(8) { throw Exception("no"); }
};

TEST_F(RcObjectTest, AConstructorMayThrow)
{
    EXPECT_THROW(RcCreate<TFailsToConstruct>(), Exception);
    EXPECT_THROW(MakeRc<TFailsToConstruct>(), Exception);
    EXPECT_EQ(TCounted::Died, (std::vector<int>{8, 8}));
}

TEST_F(RcObjectTest, RetainAndReleaseAndNilAreNilSafe)
{
    TCounted* none = nullptr;
    EXPECT_EQ(RcRetain(none), nullptr);
    ReleaseAndNil(none);

    auto* object = new TCounted(3);
    ReleaseAndNil(object);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(TCounted::Died, std::vector<int>{3});
}

// Equal by value rather than identity.
struct TValue : TRcObject {
    int V;
    explicit TValue(int aV) : V(aV) {}
    bool Equals(const TRcObject* aObj) const override
    {
        auto* other = dynamic_cast<const TValue*>(aObj);
        return other && other->V == V;
    }
};

TEST_F(RcObjectTest, EqualityAndText)
{
    auto a = MakeRc<TValue>(1), b = MakeRc<TValue>(1), c = MakeRc<TValue>(2);
    auto plain = MakeRc<TCounted>(9);
    EXPECT_TRUE(RcEquals(nullptr, nullptr));
    EXPECT_FALSE(RcEquals(a.Get(), nullptr));
    EXPECT_FALSE(RcEquals(nullptr, a.Get()));
    EXPECT_TRUE(RcEquals(a.Get(), b.Get()));
    EXPECT_FALSE(RcEquals(a.Get(), c.Get()));
    EXPECT_FALSE(RcEquals(plain.Get(), a.Get()));
    EXPECT_TRUE(RcEquals(plain.Get(), plain.Get()));
    EXPECT_EQ(plain->HashCode(), plain->HashCode());
    EXPECT_THAT(plain->ToString(), ::testing::MatchesRegex(".*TCounted:[0-9A-F]{16}"));
}

// An interface, as later code declares them.
class IThing : public virtual IRcInterface {
public:
    virtual int Value() const = 0;
};

struct TThing : TCounted, IThing {
    TThing() : TCounted(42) {}
    int Value() const override { return Id; }
};

TEST_F(RcObjectTest, HeldInterfaceIsARetain)
{
    auto* created = new TThing();
    {
        auto held = TRcRef<IThing>::Retain(created);
        EXPECT_EQ(created->RetainCount(), 2);
        created->Release();   // the creator lets go of its own reference
        EXPECT_EQ(held->Value(), 42);
        auto copy = held;
        EXPECT_EQ(created->RetainCount(), 2);
        auto moved = std::move(copy);
        EXPECT_EQ(created->RetainCount(), 2);
        EXPECT_TRUE(TCounted::Died.empty());
    }
    EXPECT_EQ(TCounted::Died, std::vector<int>{42});
}

TEST_F(RcObjectTest, AdoptTakesOverTheCreatorsReference)
{
    {
        auto ref = TRcRef<TCounted>::Adopt(new TCounted(1));
        EXPECT_EQ(ref->RetainCount(), 1);
        TCounted* raw = ref.Detach();
        EXPECT_FALSE(ref);
        raw->Release();
    }
    EXPECT_EQ(TCounted::Died, std::vector<int>{1});
}

TEST_F(RcObjectTest, PoolsWorkOnEveryThread)
{
    auto shared = MakeRc<TCounted>(0);
    constexpr int kThreads = 4, kRounds = 20000;
    std::atomic<int> died{0};
    struct TTracked : TRcObject {
        std::atomic<int>* Died;
        explicit TTracked(std::atomic<int>* d) : Died(d) {}
        ~TTracked() override { Died->fetch_add(1); }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                TRetainCountObjectAutoReleasePool pool;
                shared->Retain();
                shared->AutoRelease();
                shared->Retain();
                RcCreateAndAutoRelease<TTracked>(&died);
                shared->Release();
            }
            EXPECT_EQ(TAutoReleasePoolManager::Current(), nullptr);
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(died.load(), kThreads * kRounds);
    EXPECT_EQ(shared->RetainCount(), 1);
    EXPECT_TRUE(TCounted::Died.empty());
}

} // namespace
