#include "RunableCancelList.h"

#include "Errors.h"

void TRunableCancelList::Register(IRunableCancel* aRunableCancel)
{
    if (!aRunableCancel)
        throw Exception(kInvalid);
    std::lock_guard lock(FCriticalSection);
    for (const auto& entry : FList)
        if (entry.Get() == aRunableCancel)
            throw Exception(kAlreadyRegistered);
    FList.push_back(TRcRef<IRunableCancel>::Retain(aRunableCancel));
}

void TRunableCancelList::UnRegister(IRunableCancel* aRunableCancel)
{
    if (!aRunableCancel)
        throw Exception(kInvalid);
    TRcRef<IRunableCancel> removed;   // released after the lock is left
    std::lock_guard lock(FCriticalSection);
    for (auto it = FList.begin(); it != FList.end(); ++it) {
        if (it->Get() == aRunableCancel) {
            removed = std::move(*it);
            FList.erase(it);
            return;
        }
    }
    throw Exception(kNotRegistered);
}

void TRunableCancelList::Cancel()
{
    std::lock_guard lock(FCriticalSection);
    const std::vector<TRcRef<IRunableCancel>> snapshot = FList;
    for (const auto& entry : snapshot)
        entry->Cancel();
}

int TRunableCancelList::Count() const
{
    std::lock_guard lock(FCriticalSection);
    return static_cast<int>(FList.size());
}
