#include "AccountMailObservable.h"

#include <utility>

namespace {

bool Holds(const TRcResPathList* aList, TRcResPath* aPath)
{
    return aList && aList->IndexOf(aPath) >= 0;
}

} // namespace

void TAccountMailObservable::BeginUpdate()
{
    std::lock_guard lock(CriticalSection());
    ++FUpdateCount;
}

int TAccountMailObservable::UpdateCount() const
{
    std::lock_guard lock(CriticalSection());
    return FUpdateCount;
}

void TAccountMailObservable::EndUpdate()
{
    std::lock_guard lock(CriticalSection());
    if (FUpdateCount <= 0) {
        TLog::O(lolWorn, "EndUpdate without BeginUpdate");
        return;
    }
    if (--FUpdateCount > 0)
        return;
    // Taken out first: an observer that throws cannot leave stale entries,
    // and one that notifies again starts a fresh set.
    const auto content = std::exchange(FNotifyContentChangedList, nullptr);
    const auto readed = std::exchange(FNotifyReadedFlagChangedList, nullptr);
    const auto changed = std::exchange(FNotifyChangedList, nullptr);
    const auto retranslation = std::exchange(FNotifyReTranslation, nullptr);
    const bool newList = std::exchange(FNotReadedNewReceiveMailListChanged, false);
    if (content)
        for (TRcResPath* path : *content)
            ForEachObserver([&](IAccountMailObserver& aObserver) { aObserver.OnContentChanged(path); });
    if (readed)
        for (TRcResPath* path : *readed)
            if (!Holds(content.Get(), path))
                ForEachObserver([&](IAccountMailObserver& aObserver) { aObserver.OnReadedFlagChanged(path); });
    if (changed)
        for (TRcResPath* path : *changed)
            ForEachObserver([&](IAccountMailObserver& aObserver) { aObserver.OnChanged(path); });
    if (retranslation)
        for (TRcResPath* path : *retranslation)
            ForEachObserver([&](IAccountMailObserver& aObserver) { aObserver.OnReTranslationChanged(path); });
    if (newList)
        ForEachObserver([](IAccountMailObserver& aObserver) { aObserver.OnNotReadedNewReceiveMailListChanged(); });
}

bool TAccountMailObservable::Queue(TRcRef<TRcResPathList>& aList, TRcResPath* aPath)
{
    if (FUpdateCount <= 0)
        return false;
    if (!aList)
        aList = MakeRc<TRcResPathList>();
    if (aList->IndexOf(aPath) < 0)
        aList->Add(aPath);
    return true;
}

void TAccountMailObservable::NotifyContentChanged(TRcResPath* aMailResPath)
{
    std::lock_guard lock(CriticalSection());
    if (!Queue(FNotifyContentChangedList, aMailResPath))
        ForEachObserver([&](IAccountMailObserver& aObserver) { aObserver.OnContentChanged(aMailResPath); });
}

void TAccountMailObservable::NotifyReadedFlagChanged(TRcResPath* aMailResPath)
{
    std::lock_guard lock(CriticalSection());
    if (FUpdateCount > 0) {
        if (!Holds(FNotifyReadedFlagChangedList.Get(), aMailResPath) &&
            !Holds(FNotifyContentChangedList.Get(), aMailResPath))
            Queue(FNotifyReadedFlagChangedList, aMailResPath);
        return;
    }
    ForEachObserver([&](IAccountMailObserver& aObserver) { aObserver.OnReadedFlagChanged(aMailResPath); });
}

void TAccountMailObservable::NotifyChanged(TRcResPath* aFolderResPath)
{
    std::lock_guard lock(CriticalSection());
    if (!Queue(FNotifyChangedList, aFolderResPath))
        ForEachObserver([&](IAccountMailObserver& aObserver) { aObserver.OnChanged(aFolderResPath); });
}

void TAccountMailObservable::NotifyReTranslationChanged(TRcResPath* aMailResPath)
{
    std::lock_guard lock(CriticalSection());
    if (!Queue(FNotifyReTranslation, aMailResPath))
        ForEachObserver([&](IAccountMailObserver& aObserver) { aObserver.OnReTranslationChanged(aMailResPath); });
}

void TAccountMailObservable::NotifyNotReadedNewReceiveMailListChanged()
{
    std::lock_guard lock(CriticalSection());
    if (FUpdateCount > 0) {
        FNotReadedNewReceiveMailListChanged = true;
        return;
    }
    ForEachObserver([](IAccountMailObserver& aObserver) { aObserver.OnNotReadedNewReceiveMailListChanged(); });
}
