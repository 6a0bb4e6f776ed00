#include "AutoReleasePool.h"

#include "Errors.h"
#include "FatalError.h"
#include "RcObject.h"

namespace {
thread_local TAutoReleasePoolManager* tPoolManager = nullptr;
}

TAutoReleasePoolManager::~TAutoReleasePoolManager()
{
    if (!FPoolList.empty())
        AbortInvalidPointer("a pool manager was destroyed while it still held pools");
}

TRetainCountObjectAutoReleasePool* TAutoReleasePoolManager::PopPool()
{
    if (FPoolList.empty())
        return nullptr;
    auto* pool = FPoolList.back();
    FPoolList.pop_back();
    return pool;
}

TRetainCountObjectAutoReleasePool* TAutoReleasePoolManager::PeekPool() const
{
    return FPoolList.empty() ? nullptr : FPoolList.back();
}

TAutoReleasePoolManager* TAutoReleasePoolManager::Current()
{
    return tPoolManager;
}

TRetainCountObjectAutoReleasePool::TRetainCountObjectAutoReleasePool()
{
    if (!tPoolManager)
        tPoolManager = new TAutoReleasePoolManager();
    tPoolManager->PushPool(this);
}

TRetainCountObjectAutoReleasePool::~TRetainCountObjectAutoReleasePool()
{
    if (!tPoolManager)
        AbortInvalidPointer("an autorelease pool was destroyed on a thread without pools");
    // Peek before popping, so a misordered pool leaves the stack intact.
    if (tPoolManager->PeekPool() != this)
        AbortInvalidPointer("an autorelease pool was destroyed while it was not the innermost one");
    tPoolManager->PopPool();

    // Index walk: a destructor may autorelease, which appends to the outer
    // pool, never to this list.
    for (std::size_t i = FRcObjectList.size(); i-- > 0;) {
        TRcObject* object = std::exchange(FRcObjectList[i], nullptr);
        object->Release();
    }
    FRcObjectList.clear();

    // A destructor may have opened and closed pools of its own meanwhile,
    // which can already have removed the manager.
    if (tPoolManager && tPoolManager->PoolCount() == 0) {
        delete tPoolManager;
        tPoolManager = nullptr;
    }
}

void TRetainCountObjectAutoReleasePool::AddRcObjectToTopPool(TRcObject* aObject)
{
    TRetainCountObjectAutoReleasePool* top = tPoolManager ? tPoolManager->PeekPool() : nullptr;
    if (!top)
        throw EInvalidPointer();
    top->FRcObjectList.push_back(aObject);
}

void TRetainCountObjectAutoReleasePool::DoProc(const std::function<void()>& aProc)
{
    TRetainCountObjectAutoReleasePool pool;
    if (aProc)
        aProc();
}
