// Transfers that are running register here, so one call can cancel them
// all. Cancel calls the entries while holding the lock: a Cancel must not
// wait for its runable's UnRegister on another thread.
#pragma once

#include <mutex>
#include <vector>

#include "RcRef.h"
#include "Runable.h"

class TRunableCancelList {
public:
    static constexpr const char* kInvalid = "可运行取消接口无效";
    static constexpr const char* kAlreadyRegistered = "可运行取消接口已经注册";
    static constexpr const char* kNotRegistered = "可运行取消接口没有注册";

    void Register(IRunableCancel* aRunableCancel);
    void UnRegister(IRunableCancel* aRunableCancel);
    // Cancels every entry registered when the call starts, in order.
    void Cancel();
    int Count() const;

private:
    mutable std::recursive_mutex FCriticalSection;
    std::vector<TRcRef<IRunableCancel>> FList;
};

// Registers a transfer in a cancel list for as long as it lives, so the
// list's Cancel reaches it; no list, no registration. aCancelled: a cancel
// that came before the registration found nothing to cancel, so the
// transfer is cancelled at once.
class TRunableCancelRegistration {
public:
    TRunableCancelRegistration(TRunableCancelList* aList, IRunableCancel* aRunableCancel, bool aCancelled = false)
        : FList(aList), FRunableCancel(aRunableCancel)
    {
        if (FList)
            FList->Register(FRunableCancel);
        if (aCancelled)
            FRunableCancel->Cancel();
    }
    ~TRunableCancelRegistration()
    {
        if (FList)
            FList->UnRegister(FRunableCancel);
    }
    TRunableCancelRegistration(const TRunableCancelRegistration&) = delete;
    TRunableCancelRegistration& operator=(const TRunableCancelRegistration&) = delete;

private:
    TRunableCancelList* FList;
    IRunableCancel* FRunableCancel;
};
