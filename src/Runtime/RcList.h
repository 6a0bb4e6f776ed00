// TRcList<T>: an ordered list that holds a reference to each element.
//
// Adding retains, removing releases, Extract hands the list's reference to
// the caller. Lookups (IndexOf, Remove, Extract) match an element by its
// HashCode and then by Equals, so two different objects whose hashes
// collide are never taken for one another. Elements are never nil.
#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "Errors.h"
#include "RcObject.h"

template <class T>
class TRcList : public TRcObject {
public:
    using TComparer = std::function<int(T* a, T* b)>;   // <0, 0, >0

    TRcList() = default;
    static TRcList* Create() { return new TRcList(); }
    static TRcList* CreateAndAutoRelease() { return RcCreateAndAutoRelease<TRcList>(); }

    int Add(T* aObject)
    {
        FList.push_back(Held(aObject));
        return static_cast<int>(FList.size()) - 1;
    }
    void AddList(const TRcList* aList)
    {
        if (!aList)
            return;
        // Copy first: aList may be this list.
        const std::vector<T*> items = aList->FList;
        for (T* item : items)
            Add(item);
    }
    void Insert(int aIndex, T* aObject)
    {
        if (aIndex < 0 || aIndex > Count())
            throw EArgumentOutOfRange();
        FList.insert(FList.begin() + aIndex, Held(aObject));
    }
    void Delete(int aIndex)
    {
        CheckIndex(aIndex);
        T* removed = FList[static_cast<std::size_t>(aIndex)];
        FList.erase(FList.begin() + aIndex);
        removed->Release();
    }
    // Removes and releases the first match; its former index, or -1.
    int Remove(const T* aObject)
    {
        const int index = IndexOf(aObject);
        if (index >= 0)
            Delete(index);
        return index;
    }
    // Removes the first match without releasing it: the caller now owns
    // the list's reference. nullptr when there is no match.
    [[nodiscard]] T* Extract(const T* aObject)
    {
        const int index = IndexOf(aObject);
        if (index < 0)
            return nullptr;
        T* extracted = FList[static_cast<std::size_t>(index)];
        FList.erase(FList.begin() + index);
        return extracted;
    }
    int IndexOf(const T* aObject) const
    {
        if (!aObject)
            return -1;
        const int32_t hash = aObject->HashCode();
        for (std::size_t i = 0; i < FList.size(); ++i)
            if (FList[i]->HashCode() == hash && FList[i]->Equals(aObject))
                return static_cast<int>(i);
        return -1;
    }
    void Clear() { SetCount(0); }

    T* First() const { return GetItem(0); }
    T* Last() const { return GetItem(Count() - 1); }

    // Ascending HashCode, compared as signed integers.
    void Sort()
    {
        std::stable_sort(FList.begin(), FList.end(), [](T* a, T* b) { return a->HashCode() < b->HashCode(); });
    }
    void Sort(const TComparer& aComparer)
    {
        std::stable_sort(FList.begin(), FList.end(), [&](T* a, T* b) { return aComparer(a, b) < 0; });
    }

    // Not retained for the caller.
    T* GetItem(int aIndex) const
    {
        CheckIndex(aIndex);
        return FList[static_cast<std::size_t>(aIndex)];
    }
    T* operator[](int aIndex) const { return GetItem(aIndex); }
    // Retains the new element before releasing the one it replaces, so
    // storing the element already there is safe.
    void SetItem(int aIndex, T* aObject)
    {
        CheckIndex(aIndex);
        T* held = Held(aObject);
        std::swap(FList[static_cast<std::size_t>(aIndex)], held);
        held->Release();
    }

    int Count() const { return static_cast<int>(FList.size()); }
    int GetCount() const { return Count(); }
    // Only shrinking is meaningful for a list that holds no nils.
    void SetCount(int aCount)
    {
        if (aCount < 0 || aCount > Count())
            throw EArgumentOutOfRange();
        while (Count() > aCount) {
            T* removed = FList.back();
            FList.pop_back();
            removed->Release();
        }
    }

    auto begin() const { return FList.begin(); }
    auto end() const { return FList.end(); }

protected:
    ~TRcList() override { Clear(); }

private:
    static T* Held(T* aObject)
    {
        if (!aObject)
            throw EInvalidPointer();
        aObject->Retain();
        return aObject;
    }
    void CheckIndex(int aIndex) const
    {
        if (aIndex < 0 || aIndex >= Count())
            throw EArgumentOutOfRange();
    }

    std::vector<T*> FList;
};
