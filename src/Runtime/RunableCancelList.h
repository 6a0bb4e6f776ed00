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
