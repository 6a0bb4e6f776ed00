// TRcRef<T>: holds one reference to a retain-counted object or interface.
//
// There is no implicit construction from a raw pointer, because a raw
// pointer does not say whether a reference comes with it:
//   TRcRef<T>::Adopt(p)   takes over the reference of a Create result;
//   TRcRef<T>::Retain(p)  adds one for a getter's (autoreleased or cached) result.
#pragma once

#include "RcObject.h"

#include <cstddef>
#include <utility>

template <class T>
class TRcRef {
public:
    TRcRef() = default;
    TRcRef(std::nullptr_t) {}
    TRcRef(const TRcRef& aOther) : FPtr(RcRetain(aOther.FPtr)) {}
    TRcRef(TRcRef&& aOther) noexcept : FPtr(std::exchange(aOther.FPtr, nullptr)) {}
    template <class U>
    TRcRef(const TRcRef<U>& aOther) : FPtr(RcRetain(aOther.Get())) {}
    template <class U>
    TRcRef(TRcRef<U>&& aOther) noexcept : FPtr(aOther.Detach()) {}
    ~TRcRef() { Reset(); }

    TRcRef& operator=(TRcRef aOther) noexcept
    {
        std::swap(FPtr, aOther.FPtr);
        return *this;
    }

    [[nodiscard]] static TRcRef Adopt(T* aCreated)
    {
        TRcRef r;
        r.FPtr = aCreated;
        return r;
    }
    [[nodiscard]] static TRcRef Retain(T* aBorrowed)
    {
        TRcRef r;
        r.FPtr = RcRetain(aBorrowed);
        return r;
    }

    T* Get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    T& operator*() const { return *FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }

    // Drops the reference held (clearing the field before the release).
    void Reset() { ReleaseAndNil(FPtr); }
    // Hands the reference over to the caller.
    [[nodiscard]] T* Detach() { return std::exchange(FPtr, nullptr); }

    friend bool operator==(const TRcRef& a, const TRcRef& b) { return a.FPtr == b.FPtr; }
    friend bool operator==(const TRcRef& a, std::nullptr_t) { return a.FPtr == nullptr; }

private:
    T* FPtr = nullptr;
};

// Constructs an object and holds its first reference.
template <class T, class... Args>
TRcRef<T> MakeRc(Args&&... aArgs)
{
    return TRcRef<T>::Adopt(RcCreate<T>(std::forward<Args>(aArgs)...));
}
