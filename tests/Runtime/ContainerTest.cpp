#include "Runtime/AutoReleasePool.h"
#include "Runtime/RcList.h"
#include "Runtime/RcObjectHashMap.h"
#include "Runtime/RcRef.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

namespace {

// Equal by value, with a hash the test chooses, so collisions can be made.
struct TItem : TRcObject {
    int V;
    int32_t H;
    explicit TItem(int aV) : V(aV), H(aV) {}
    TItem(int aV, int32_t aH) : V(aV), H(aH) {}
    int32_t HashCode() const override { return H; }
    bool Equals(const TRcObject* aObj) const override
    {
        auto* other = dynamic_cast<const TItem*>(aObj);
        return other && other->V == V;
    }
};

using TList = TRcList<TItem>;
using TItems = std::array<TItem*, 3>;

struct TRetainCase {
    const char* Name;
    std::function<void(TList&, TRcObjectHashMap&, const TItems&)> Op;
    std::array<int, 3> During;   // counts of a, b, c with the containers alive
    std::array<int, 3> After;    // and once both are gone
};

void PrintTo(const TRetainCase& aCase, std::ostream* aOut)
{
    *aOut << aCase.Name;
}

class RetainTableTest : public ::testing::TestWithParam<TRetainCase> {};

TEST_P(RetainTableTest, CountsAfterEachOperation)
{
    const auto& c = GetParam();
    TRetainCountObjectAutoReleasePool pool;
    TItems items = {new TItem(1), new TItem(2), new TItem(3)};
    auto list = MakeRc<TList>();
    auto map = MakeRc<TRcObjectHashMap>(16);
    c.Op(*list, *map, items);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(items[i]->RetainCount(), c.During[i]) << "during, item " << i;
    list.Reset();
    map.Reset();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i]->RetainCount(), c.After[i]) << "after, item " << i;
        // Drop what an Extract handed over, then the test's own reference.
        for (int n = items[i]->RetainCount(); n > 0; --n)
            items[i]->Release();
    }
}

INSTANTIATE_TEST_SUITE_P(
    ListAndMap, RetainTableTest,
    ::testing::Values(
        TRetainCase{"ListAdd", [](TList& l, auto&, auto& o) { l.Add(o[0]); }, {2, 1, 1}, {1, 1, 1}},
        TRetainCase{"ListAddTwice", [](TList& l, auto&, auto& o) { l.Add(o[0]); l.Add(o[0]); }, {3, 1, 1}, {1, 1, 1}},
        TRetainCase{"ListInsert", [](TList& l, auto&, auto& o) { l.Add(o[0]); l.Insert(0, o[1]); }, {2, 2, 1}, {1, 1, 1}},
        TRetainCase{"ListAddList",
                    [](TList& l, auto&, auto& o) {
                        auto other = MakeRc<TList>();
                        other->Add(o[0]);
                        other->Add(o[1]);
                        l.AddList(other.Get());
                        l.AddList(nullptr);
                    },
                    {2, 2, 1}, {1, 1, 1}},
        TRetainCase{"ListDelete", [](TList& l, auto&, auto& o) { l.Add(o[0]); l.Add(o[1]); l.Delete(0); }, {1, 2, 1}, {1, 1, 1}},
        TRetainCase{"ListRemoveFirstOfTwo",
                    [](TList& l, auto&, auto& o) {
                        l.Add(o[0]);
                        l.Add(o[0]);
                        EXPECT_EQ(l.Remove(o[0]), 0);
                        EXPECT_EQ(l.Remove(o[2]), -1);
                    },
                    {2, 1, 1}, {1, 1, 1}},
        TRetainCase{"ListExtractHandsOver",
                    [](TList& l, auto&, auto& o) {
                        l.Add(o[0]);
                        EXPECT_EQ(l.Extract(o[0]), o[0]);
                        EXPECT_EQ(l.Extract(o[0]), nullptr);
                    },
                    {2, 1, 1}, {2, 1, 1}},
        TRetainCase{"ListClear", [](TList& l, auto&, auto& o) { l.Add(o[0]); l.Add(o[1]); l.Clear(); }, {1, 1, 1}, {1, 1, 1}},
        TRetainCase{"ListSetItemSame", [](TList& l, auto&, auto& o) { l.Add(o[0]); o[0]->Release(); l.SetItem(0, o[0]); o[0]->Retain(); }, {2, 1, 1}, {1, 1, 1}},
        TRetainCase{"ListSetItemOther", [](TList& l, auto&, auto& o) { l.Add(o[0]); l.SetItem(0, o[1]); }, {1, 2, 1}, {1, 1, 1}},
        TRetainCase{"ListShrinkCount",
                    [](TList& l, auto&, auto& o) {
                        for (auto* item : o)
                            l.Add(item);
                        l.SetCount(1);
                    },
                    {2, 1, 1}, {1, 1, 1}},
        TRetainCase{"ListDestroyReleasesAll", [](TList& l, auto&, auto& o) { l.Add(o[0]); l.Add(o[1]); }, {2, 2, 1}, {1, 1, 1}},
        TRetainCase{"MapPut", [](auto&, TRcObjectHashMap& m, auto& o) { m.PutValue(o[0], o[1]); }, {2, 2, 1}, {1, 1, 1}},
        TRetainCase{"MapPutStoredValueAgain",
                    [](auto&, TRcObjectHashMap& m, auto& o) {
                        m.PutValue(o[0], o[1]);
                        o[1]->Release();   // the map's reference is now the only one
                        m.PutValue(o[0], o[1]);
                        o[1]->Retain();
                    },
                    {2, 2, 1}, {1, 1, 1}},
        TRetainCase{"MapPutReplacesValue", [](auto&, TRcObjectHashMap& m, auto& o) { m.PutValue(o[0], o[1]); m.PutValue(o[0], o[2]); }, {2, 1, 2}, {1, 1, 1}},
        TRetainCase{"MapRemoveReleasesBoth",
                    [](auto&, TRcObjectHashMap& m, auto& o) {
                        m.PutValue(o[0], o[1]);
                        EXPECT_EQ(m.Remove(o[0]), nullptr);
                    },
                    {1, 1, 1}, {1, 1, 1}},
        TRetainCase{"MapExtractReleasesKeyOnly",
                    [](auto&, TRcObjectHashMap& m, auto& o) {
                        m.PutValue(o[0], o[1]);
                        EXPECT_EQ(m.Extract(o[0]), o[1]);
                    },
                    {1, 2, 1}, {1, 2, 1}},
        TRetainCase{"MapClear", [](auto&, TRcObjectHashMap& m, auto& o) { m.PutValue(o[0], o[1]); m.PutValue(o[2], o[1]); m.Clear(); }, {1, 1, 1}, {1, 1, 1}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(RcListTest, LookupsNeedEqualsAsWellAsTheHash)
{
    TRetainCountObjectAutoReleasePool pool;
    auto list = MakeRc<TList>();
    auto* first = RcCreateAndAutoRelease<TItem>(1, 7);
    auto* second = RcCreateAndAutoRelease<TItem>(2, 7);   // same hash, not equal
    list->Add(first);
    list->Add(second);
    EXPECT_EQ(list->IndexOf(second), 1);
    EXPECT_EQ(list->IndexOf(RcCreateAndAutoRelease<TItem>(2, 7)), 1);   // equal by value
    EXPECT_EQ(list->Remove(second), 1);
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(list->First(), first);
}

TEST(RcListTest, OrderAndIndexErrors)
{
    TRetainCountObjectAutoReleasePool pool;
    auto list = MakeRc<TList>();
    for (int v : {5, -3, 9, 0})
        list->Add(RcCreateAndAutoRelease<TItem>(v, v < 0 ? 0 : v));
    list->Sort();
    std::vector<int> values;
    for (TItem* item : *list)
        values.push_back(item->V);
    EXPECT_EQ(values, (std::vector<int>{-3, 0, 5, 9}));   // -3 hashes 0, stable before 0
    list->Sort([](TItem* a, TItem* b) { return b->V - a->V; });
    EXPECT_EQ(list->First()->V, 9);
    EXPECT_EQ(list->Last()->V, -3);
    EXPECT_THROW(list->GetItem(4), EArgumentOutOfRange);
    EXPECT_THROW(list->Delete(-1), EArgumentOutOfRange);
    EXPECT_THROW(list->Insert(5, list->First()), EArgumentOutOfRange);
    EXPECT_THROW(list->Add(nullptr), EInvalidPointer);
    EXPECT_THROW(list->SetCount(5), EArgumentOutOfRange);
    EXPECT_EQ(list->Count(), 4);
}

TEST(RcObjectHashMapTest, EqualKeysAndCollisions)
{
    TRetainCountObjectAutoReleasePool pool;
    auto map = MakeRc<TRcObjectHashMap>(16);
    auto* key = RcCreateAndAutoRelease<TItem>(1, 42);
    auto* sameKey = RcCreateAndAutoRelease<TItem>(1, 42);
    auto* collider = RcCreateAndAutoRelease<TItem>(2, 42);
    auto* v1 = RcCreateAndAutoRelease<TItem>(10);
    auto* v2 = RcCreateAndAutoRelease<TItem>(20);
    map->PutValue(key, v1);
    map->PutValue(sameKey, v2);   // equal key: the first key object stays
    map->PutValue(collider, v1);
    EXPECT_EQ(map->Size(), 2);
    EXPECT_EQ(map->GetValue(sameKey), v2);
    EXPECT_EQ(map->KeyOfValue(v2), key);
    EXPECT_EQ(map->GetValue(collider), v1);
    EXPECT_TRUE(map->ContainsValue(RcCreateAndAutoRelease<TItem>(20)));
    EXPECT_EQ(map->GetValue(RcCreateAndAutoRelease<TItem>(3, 42)), nullptr);
    map->Remove(collider);   // must not take the colliding key's entry
    EXPECT_EQ(map->GetValue(key), v2);
    EXPECT_FALSE(map->ContainsKey(collider));

    auto other = MakeRc<TRcObjectHashMap>(4);
    EXPECT_FALSE(map->MapEquals(other.Get()));
    other->PutValue(RcCreateAndAutoRelease<TItem>(1, 42), RcCreateAndAutoRelease<TItem>(20));
    EXPECT_TRUE(map->MapEquals(other.Get()));
    EXPECT_FALSE(map->MapEquals(nullptr));
    EXPECT_THROW(other->SetCapacity(8), ENotSupported);
    other->Clear();
    EXPECT_TRUE(other->IsEmpty());
    other->SetCapacity(8);
    EXPECT_EQ(other->Capacity(), 8);
}

TEST(RcObjectHashMapTest, BucketsAreFixedAndGrowByAQuarter)
{
    TRetainCountObjectAutoReleasePool pool;
    auto map = MakeRc<TRcObjectHashMap>(16);
    // Index = frac(|h × 0.6180339887|) × 16.
    for (auto [hash, index] : {std::pair{0, 0}, {1, 9}, {2, 3}, {-1, 9}, {100, 12}})
        EXPECT_EQ(map->BucketIndexOf(RcCreateAndAutoRelease<TItem>(0, hash)), index) << hash;
    // All in one bucket: its array grows by a quarter, at least by one.
    std::vector<int> lengths;
    for (int v = 0; v < 12; ++v) {
        map->PutValue(RcCreateAndAutoRelease<TItem>(v, 7), RcCreateAndAutoRelease<TItem>(v));
        lengths.push_back(map->BucketLength(map->BucketIndexOf(RcCreateAndAutoRelease<TItem>(0, 7))));
    }
    EXPECT_EQ(lengths, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 10, 10, 12, 12}));
    EXPECT_EQ(map->Capacity(), 16);
    EXPECT_EQ(map->Size(), 12);
    for (int v = 0; v < 11; ++v)
        map->Remove(RcCreateAndAutoRelease<TItem>(v, 7));
    EXPECT_EQ(map->BucketLength(map->BucketIndexOf(RcCreateAndAutoRelease<TItem>(0, 7))), 12);
    map->Pack();
    EXPECT_EQ(map->BucketLength(map->BucketIndexOf(RcCreateAndAutoRelease<TItem>(0, 7))), 1);
    EXPECT_EQ(static_cast<TItem*>(map->GetValue(RcCreateAndAutoRelease<TItem>(11, 7)))->V, 11);
}

} // namespace
