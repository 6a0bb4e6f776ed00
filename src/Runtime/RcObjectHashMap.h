// A hash map from retain-counted keys to retain-counted values, with a
// bucket count fixed at construction. Keys hash by their HashCode and
// compare by Equals, values compare by Equals. The map holds a reference
// to every key and value it stores.
#pragma once

#include <cstdint>
#include <vector>

#include "RcObject.h"

class IRcObjectMap : public virtual IRcInterface {
public:
    virtual void Clear() = 0;
    virtual bool ContainsKey(const TRcObject* aKey) const = 0;
    virtual bool ContainsValue(const TRcObject* aValue) const = 0;
    // Removes the entry and hands its value's reference to the caller
    // (the key is released); nullptr when absent.
    [[nodiscard]] virtual TRcObject* Extract(const TRcObject* aKey) = 0;
    // Not retained for the caller; nullptr when absent.
    virtual TRcObject* GetValue(const TRcObject* aKey) const = 0;
    virtual bool IsEmpty() const = 0;
    virtual TRcObject* KeyOfValue(const TRcObject* aValue) const = 0;
    virtual bool MapEquals(const IRcObjectMap* aMap) const = 0;
    virtual void PutValue(TRcObject* aKey, TRcObject* aValue) = 0;
    // Releases key and value. Returns nullptr, as the map's interface does.
    virtual TRcObject* Remove(const TRcObject* aKey) = 0;
    virtual int Size() const = 0;
};

class TRcObjectHashMap : public TRcObject, public IRcObjectMap {
public:
    explicit TRcObjectHashMap(int aCapacity);

    void Clear() override;
    bool ContainsKey(const TRcObject* aKey) const override;
    bool ContainsValue(const TRcObject* aValue) const override;
    [[nodiscard]] TRcObject* Extract(const TRcObject* aKey) override;
    TRcObject* GetValue(const TRcObject* aKey) const override;
    bool IsEmpty() const override { return FSize == 0; }
    TRcObject* KeyOfValue(const TRcObject* aValue) const override;
    bool MapEquals(const IRcObjectMap* aMap) const override;
    void PutValue(TRcObject* aKey, TRcObject* aValue) override;
    TRcObject* Remove(const TRcObject* aKey) override;
    int Size() const override { return FSize; }

    // Frees empty buckets and trims the others.
    void Pack();
    int Capacity() const { return static_cast<int>(FBuckets.size()); }
    // Only while empty; otherwise ENotSupported.
    void SetCapacity(int aCapacity);
    // Which bucket a key goes to: the fraction of |hash × 0.6180339887|
    // scaled to the bucket count.
    int BucketIndexOf(const TRcObject* aKey) const;
    // Entries that bucket has room for (its array's length); 0 when none.
    int BucketLength(int aIndex) const;

protected:
    ~TRcObjectHashMap() override;

private:
    struct TEntry {
        TRcObject* Key;
        TRcObject* Value;
    };
    struct TBucket {
        int Size = 0;
        std::vector<TEntry> Entries;   // the array; the first Size are used
    };

    const TEntry* Find(const TRcObject* aKey, int* aBucket = nullptr, int* aSlot = nullptr) const;

    std::vector<TBucket*> FBuckets;
    int FSize = 0;
};
