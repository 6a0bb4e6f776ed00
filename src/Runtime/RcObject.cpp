#include "RcObject.h"

#include "AutoReleasePool.h"
#include "Errors.h"
#include "FatalError.h"
#include "TypeName.h"

#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <typeinfo>

TRcObject* TRcObject::CreateAndAutoRelease()
{
    return RcCreateAndAutoRelease<TRcObject>();
}

TRcObject* TRcObject::Retain()
{
    FRetainCount.fetch_add(1, std::memory_order_relaxed);
    return this;
}

void TRcObject::Release()
{
    if (FMagicTag != kMagicTag)
        throw EInvalidPointer();
    const int32_t before = FRetainCount.fetch_sub(1, std::memory_order_acq_rel);
    if (before > 1)
        return;
    if (before < 1) {
        // Released more often than retained: undo and report.
        FRetainCount.fetch_add(1, std::memory_order_relaxed);
        throw EInvalidPointer();
    }
    FNativeReleaseFlag = true;
    delete this;
}

TRcObject* TRcObject::AutoRelease()
{
    TRetainCountObjectAutoReleasePool::AddRcObjectToTopPool(this);
    return this;
}

int32_t TRcObject::HashCode() const
{
    const auto address = reinterpret_cast<std::uintptr_t>(this);
    return static_cast<int32_t>(address ^ (address >> 32));
}

bool TRcObject::Equals(const TRcObject* aObj) const
{
    return aObj == this;
}

std::string TRcObject::ToString() const
{
    char address[2 * sizeof(void*) + 1];
    std::snprintf(address, sizeof address, "%0*llX", int(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(this)));
    return DemangledName(typeid(*this)) + ":" + address;
}

TRcObject::~TRcObject()
{
    // A constructor that throws takes its half-built object down during
    // the unwinding, untouched since birth: that is no misuse.
    const bool failedConstruction = !FNativeReleaseFlag && std::uncaught_exceptions() > 0 &&
                                    FRetainCount.load(std::memory_order_relaxed) == 1;
    if (!failedConstruction && (!FNativeReleaseFlag || FRetainCount.load(std::memory_order_relaxed) != 0))
        AbortInvalidPointer("a retain-counted object was destroyed without Release");
    FMagicTag = 0;   // a later Release through a stale pointer is caught
}

bool RcEquals(const IRcInterface* a, const IRcInterface* b)
{
    if (!a)
        return b == nullptr;
    if (!b)
        return false;
    return a->Equals(const_cast<IRcInterface*>(b)->GetRcObject());
}
