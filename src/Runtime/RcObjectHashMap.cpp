#include "RcObjectHashMap.h"

#include "Errors.h"

#include <algorithm>
#include <cmath>
#include <utility>

TRcObjectHashMap::TRcObjectHashMap(int aCapacity)
{
    SetCapacity(aCapacity);
}

TRcObjectHashMap::~TRcObjectHashMap()
{
    Clear();
}

int TRcObjectHashMap::BucketIndexOf(const TRcObject* aKey) const
{
    const double product = std::fabs(static_cast<double>(aKey->HashCode()) * 0.6180339887);
    const double fraction = product - std::floor(product);
    const int index = static_cast<int>(fraction * static_cast<double>(FBuckets.size()));
    return std::min(index, static_cast<int>(FBuckets.size()) - 1);
}

int TRcObjectHashMap::BucketLength(int aIndex) const
{
    const TBucket* bucket = FBuckets.at(static_cast<std::size_t>(aIndex));
    return bucket ? static_cast<int>(bucket->Entries.size()) : 0;
}

const TRcObjectHashMap::TEntry* TRcObjectHashMap::Find(const TRcObject* aKey, int* aBucket, int* aSlot) const
{
    if (!aKey || FBuckets.empty())
        return nullptr;
    const int index = BucketIndexOf(aKey);
    const TBucket* bucket = FBuckets[static_cast<std::size_t>(index)];
    if (!bucket)
        return nullptr;
    for (int i = 0; i < bucket->Size; ++i) {
        const TEntry& entry = bucket->Entries[static_cast<std::size_t>(i)];
        if (RcEquals(entry.Key, aKey)) {
            if (aBucket)
                *aBucket = index;
            if (aSlot)
                *aSlot = i;
            return &entry;
        }
    }
    return nullptr;
}

void TRcObjectHashMap::PutValue(TRcObject* aKey, TRcObject* aValue)
{
    if (!aKey)
        throw EInvalidPointer();
    int bucketIndex = 0, slot = 0;
    if (Find(aKey, &bucketIndex, &slot)) {
        // The stored key stays. Retain before release: putting the value
        // already stored must not free it.
        TEntry& entry = FBuckets[static_cast<std::size_t>(bucketIndex)]->Entries[static_cast<std::size_t>(slot)];
        TRcObject* old = std::exchange(entry.Value, RcRetain(aValue));
        if (old)
            old->Release();
        return;
    }
    TBucket*& bucket = FBuckets[static_cast<std::size_t>(BucketIndexOf(aKey))];
    if (!bucket)
        bucket = new TBucket{0, std::vector<TEntry>(1, TEntry{nullptr, nullptr})};
    const std::size_t length = bucket->Entries.size();
    if (static_cast<std::size_t>(bucket->Size) == length) {
        // Grow by a quarter, at least by one.
        std::vector<TEntry> grown(std::max(length + length / 4, length + 1), TEntry{nullptr, nullptr});
        std::copy(bucket->Entries.begin(), bucket->Entries.end(), grown.begin());
        bucket->Entries.swap(grown);
    }
    bucket->Entries[static_cast<std::size_t>(bucket->Size)] = TEntry{RcRetain(aKey), RcRetain(aValue)};
    ++bucket->Size;
    ++FSize;
}

TRcObject* TRcObjectHashMap::GetValue(const TRcObject* aKey) const
{
    const TEntry* entry = Find(aKey);
    return entry ? entry->Value : nullptr;
}

bool TRcObjectHashMap::ContainsKey(const TRcObject* aKey) const
{
    return Find(aKey) != nullptr;
}

bool TRcObjectHashMap::ContainsValue(const TRcObject* aValue) const
{
    return KeyOfValue(aValue) != nullptr;
}

TRcObject* TRcObjectHashMap::KeyOfValue(const TRcObject* aValue) const
{
    for (const TBucket* bucket : FBuckets) {
        if (!bucket)
            continue;
        for (int i = 0; i < bucket->Size; ++i)
            if (RcEquals(bucket->Entries[static_cast<std::size_t>(i)].Value, aValue))
                return bucket->Entries[static_cast<std::size_t>(i)].Key;
    }
    return nullptr;
}

TRcObject* TRcObjectHashMap::Extract(const TRcObject* aKey)
{
    int bucketIndex = 0, slot = 0;
    if (!Find(aKey, &bucketIndex, &slot))
        return nullptr;
    TBucket* bucket = FBuckets[static_cast<std::size_t>(bucketIndex)];
    const TEntry entry = bucket->Entries[static_cast<std::size_t>(slot)];
    // Later entries move forward; the array keeps its length.
    for (int i = slot; i + 1 < bucket->Size; ++i)
        bucket->Entries[static_cast<std::size_t>(i)] = bucket->Entries[static_cast<std::size_t>(i + 1)];
    bucket->Entries[static_cast<std::size_t>(bucket->Size - 1)] = TEntry{nullptr, nullptr};
    --bucket->Size;
    --FSize;
    entry.Key->Release();
    return entry.Value;
}

TRcObject* TRcObjectHashMap::Remove(const TRcObject* aKey)
{
    if (TRcObject* value = Extract(aKey))
        value->Release();
    return nullptr;
}

void TRcObjectHashMap::Clear()
{
    // Detach everything first: a released object's destructor may look
    // at the map.
    std::vector<TEntry> entries;
    for (TBucket*& bucket : FBuckets) {
        if (!bucket)
            continue;
        for (int i = 0; i < bucket->Size; ++i)
            entries.push_back(bucket->Entries[static_cast<std::size_t>(i)]);
        delete std::exchange(bucket, nullptr);
    }
    FSize = 0;
    for (const TEntry& entry : entries) {
        entry.Key->Release();
        if (entry.Value)
            entry.Value->Release();
    }
}

bool TRcObjectHashMap::MapEquals(const IRcObjectMap* aMap) const
{
    if (!aMap || aMap->Size() != FSize)
        return false;
    for (const TBucket* bucket : FBuckets) {
        if (!bucket)
            continue;
        for (int i = 0; i < bucket->Size; ++i) {
            const TEntry& entry = bucket->Entries[static_cast<std::size_t>(i)];
            if (!aMap->ContainsKey(entry.Key) || !RcEquals(aMap->GetValue(entry.Key), entry.Value))
                return false;
        }
    }
    return true;
}

void TRcObjectHashMap::Pack()
{
    for (TBucket*& bucket : FBuckets) {
        if (!bucket)
            continue;
        if (bucket->Size == 0)
            delete std::exchange(bucket, nullptr);
        else
            bucket->Entries.resize(static_cast<std::size_t>(bucket->Size));
    }
}

void TRcObjectHashMap::SetCapacity(int aCapacity)
{
    if (FSize != 0)
        throw ENotSupported();
    if (aCapacity < 1)
        throw EArgumentOutOfRange();
    Pack();   // empty: frees every bucket
    FBuckets.assign(static_cast<std::size_t>(aCapacity), nullptr);
}
