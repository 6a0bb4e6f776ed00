// Observables: a manager tells the screens that stored data changed.
//
// Observers are held (retained) in registration order and called on the
// thread that reported the change, under the observable's re-entrant lock:
// an observer may notify the same observable again on that thread, and an
// UnRegisterObserver from another thread returns only once no notification
// is inside that observer. A pass walks a snapshot of the list, so an
// observer may unregister itself (or another) while being notified.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <vector>

#include "Errors.h"
#include "Log.h"
#include "RcList.h"
#include "RcObject.h"
#include "RcRef.h"

template <class IObserver>
class TRcObservable : public TRcObject {
public:
    static constexpr const char* kInvalid = "观察者无效";
    static constexpr const char* kAlreadyRegistered = "观察者已经注册";
    static constexpr const char* kNotRegistered = "观察者没有注册";

    void RegisterObserver(IObserver* aObserver)
    {
        if (!aObserver)
            throw Exception(kInvalid);
        std::lock_guard lock(FCriticalSection);
        if (Find(aObserver) != FObserverList.end())
            throw Exception(kAlreadyRegistered);
        FObserverList.push_back(TRcRef<IObserver>::Retain(aObserver));
    }

    void UnRegisterObserver(IObserver* aObserver)
    {
        if (!aObserver)
            throw Exception(kInvalid);
        TRcRef<IObserver> removed;   // released after the lock is left
        std::lock_guard lock(FCriticalSection);
        auto it = Find(aObserver);
        if (it == FObserverList.end())
            throw Exception(kNotRegistered);
        removed = std::move(*it);
        FObserverList.erase(it);
    }

    void UnRegisterAll()
    {
        std::vector<TRcRef<IObserver>> removed;
        std::lock_guard lock(FCriticalSection);
        removed.swap(FObserverList);
    }

    int ObserverCount() const
    {
        std::lock_guard lock(FCriticalSection);
        return static_cast<int>(FObserverList.size());
    }

protected:
    void Lock() { FCriticalSection.lock(); }
    void Unlock() { FCriticalSection.unlock(); }

    // Calls aProc(IObserver&) on every observer registered when the pass
    // starts, in registration order, holding the lock. An exception from
    // an observer ends the pass and goes to the notifying code.
    template <class F>
    void ForEachObserver(F&& aProc)
    {
        std::lock_guard lock(FCriticalSection);
        const std::vector<TRcRef<IObserver>> snapshot = FObserverList;
        for (const auto& observer : snapshot)
            aProc(*observer);
    }

    std::recursive_mutex& CriticalSection() const { return FCriticalSection; }

private:
    auto Find(IObserver* aObserver)
    {
        for (auto it = FObserverList.begin(); it != FObserverList.end(); ++it)
            if (it->Get() == aObserver)
                return it;
        return FObserverList.end();
    }

    mutable std::recursive_mutex FCriticalSection;
    std::vector<TRcRef<IObserver>> FObserverList;
};

// An observable whose notifications can be held back between BeginUpdate
// and EndUpdate. Each kind of notification has a delivery function; at the
// outermost EndUpdate the held ones are delivered kind by kind in the order
// of the kinds, each argument once, in order of first occurrence. A kind
// without an argument (notified with nullptr) is delivered once if it was
// notified at all.
template <class IObserver, class TArg, std::size_t KindCount>
class TRcBatchingObservable : public TRcObservable<IObserver> {
public:
    using TDelivery = void (*)(IObserver& aObserver, TArg* aArg);

    void BeginUpdate()
    {
        std::lock_guard lock(this->CriticalSection());
        ++FUpdateCount;
    }

    void EndUpdate()
    {
        std::array<TRcRef<TRcList<TArg>>, KindCount> pending;
        std::array<bool, KindCount> flags{};
        {
            std::lock_guard lock(this->CriticalSection());
            if (FUpdateCount <= 0) {
                TLog::O(lolWorn, "EndUpdate without BeginUpdate");
                return;
            }
            if (--FUpdateCount > 0)
                return;
            // Taken out before delivery, so an observer's exception cannot
            // leave stale notifications behind.
            for (std::size_t kind = 0; kind < KindCount; ++kind) {
                pending[kind] = std::exchange(FPending[kind], nullptr);
                flags[kind] = std::exchange(FPendingFlags[kind], false);
            }
            for (std::size_t kind = 0; kind < KindCount; ++kind) {
                if (flags[kind])
                    Deliver(kind, nullptr);
                if (pending[kind])
                    for (TArg* arg : *pending[kind])
                        Deliver(kind, arg);
            }
        }
    }

    int UpdateCount() const
    {
        std::lock_guard lock(this->CriticalSection());
        return FUpdateCount;
    }

protected:
    explicit TRcBatchingObservable(const std::array<TDelivery, KindCount>& aKinds) : FKinds(aKinds) {}

    void Notify(std::size_t aKind, TArg* aArg)
    {
        std::lock_guard lock(this->CriticalSection());
        if (FUpdateCount <= 0) {
            Deliver(aKind, aArg);
            return;
        }
        if (!aArg) {
            FPendingFlags[aKind] = true;
            return;
        }
        if (!FPending[aKind])
            FPending[aKind] = MakeRc<TRcList<TArg>>();
        if (FPending[aKind]->IndexOf(aArg) < 0)
            FPending[aKind]->Add(aArg);
    }

private:
    void Deliver(std::size_t aKind, TArg* aArg)
    {
        const TDelivery delivery = FKinds[aKind];
        this->ForEachObserver([&](IObserver& aObserver) { delivery(aObserver, aArg); });
    }

    const std::array<TDelivery, KindCount> FKinds;
    int FUpdateCount = 0;
    std::array<TRcRef<TRcList<TArg>>, KindCount> FPending;
    std::array<bool, KindCount> FPendingFlags{};
};
