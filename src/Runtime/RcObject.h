// Retain-counted objects.
//
// Every business object is a TRcObject: born with a count of 1 owned by its
// creator, kept alive by Retain, let go by Release, or by AutoRelease, which
// releases it once when the innermost autorelease pool of the calling thread
// drains. It dies on the thread whose Release brings the count to zero.
//
// Interfaces derive virtually from IRcInterface, so a class may implement
// several of them and still have one count: holding an interface is a retain.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

class TRcObject;

class IRcInterface {
public:
    virtual TRcObject* Retain() = 0;        // returns the object, count + 1
    virtual void Release() = 0;             // count - 1; destroys at zero
    virtual TRcObject* GetRcObject() = 0;
    virtual int32_t HashCode() const = 0;
    virtual bool Equals(const TRcObject* aObj) const = 0;
    virtual std::string ToString() const = 0;

protected:
    ~IRcInterface() = default;              // never deleted through an interface
};

class TRcObject : public virtual IRcInterface {
public:
    static constexpr int32_t kMagicTag = 0x5512AA34;

    TRcObject() = default;
    TRcObject(const TRcObject&) = delete;
    TRcObject& operator=(const TRcObject&) = delete;

    // Owned by the caller (count 1) / owned by the current pool.
    static TRcObject* Create() { return new TRcObject(); }
    static TRcObject* CreateAndAutoRelease();

    TRcObject* Retain() final;
    // Throws EInvalidPointer for a reference that is not a live TRcObject.
    void Release() final;
    // Hands one release to the innermost pool of this thread. Throws
    // EInvalidPointer when the thread has no open pool.
    TRcObject* AutoRelease();
    TRcObject* GetRcObject() final { return this; }

    int32_t HashCode() const override;                     // identity
    bool Equals(const TRcObject* aObj) const override;     // identity
    std::string ToString() const override;                 // "Class:ADDRESS"

    int32_t RetainCount() const { return FRetainCount.load(std::memory_order_relaxed); }

protected:
    // Only Release may destroy: a direct delete is reported and aborts.
    virtual ~TRcObject();

private:
    int32_t FMagicTag = kMagicTag;
    std::atomic<int32_t> FRetainCount{1};
    bool FNativeReleaseFlag = false;
};

// Nil-safe Retain: returns its argument.
template <class T>
T* RcRetain(T* aObject)
{
    if (aObject)
        aObject->Retain();
    return aObject;
}

// Nil-safe: clears the variable first, then releases what it held, so an
// owner's field is already empty while the object it held is going away.
template <class T>
void ReleaseAndNil(T*& aObject)
{
    T* p = std::exchange(aObject, nullptr);
    if (p)
        p->Release();
}

// Nil-safe equality through the virtual Equals.
bool RcEquals(const IRcInterface* a, const IRcInterface* b);

// Constructs a retain-counted object owned by the caller (count 1).
template <class T, class... Args>
T* RcCreate(Args&&... aArgs)
{
    return new T(std::forward<Args>(aArgs)...);
}

// Constructs a retain-counted object owned by the current pool.
template <class T, class... Args>
T* RcCreateAndAutoRelease(Args&&... aArgs)
{
    T* p = new T(std::forward<Args>(aArgs)...);
    try {
        p->AutoRelease();
    } catch (...) {
        p->Release();
        throw;
    }
    return p;
}
