// Autorelease pools.
//
// Each thread has a stack of pools; AutoRelease appends to the innermost one.
// A pool is a scope: destroying it pops it, then releases what it holds in
// the reverse order of the AutoRelease calls. Because it is popped first,
// whatever a destructor autoreleases during the drain lands in the next outer
// pool. Pools must end in the reverse order of their creation, on the thread
// that made them.
#pragma once

#include <functional>
#include <vector>

class TRcObject;
class TRetainCountObjectAutoReleasePool;

// The pool stack of one thread: made by the thread's first pool, gone with
// its last one.
class TAutoReleasePoolManager {
public:
    TAutoReleasePoolManager() = default;
    ~TAutoReleasePoolManager();
    TAutoReleasePoolManager(const TAutoReleasePoolManager&) = delete;
    TAutoReleasePoolManager& operator=(const TAutoReleasePoolManager&) = delete;

    void PushPool(TRetainCountObjectAutoReleasePool* aPool) { FPoolList.push_back(aPool); }
    TRetainCountObjectAutoReleasePool* PopPool();
    TRetainCountObjectAutoReleasePool* PeekPool() const;   // nullptr when empty
    std::size_t PoolCount() const { return FPoolList.size(); }

    // This thread's manager, or nullptr when it has no pool open.
    static TAutoReleasePoolManager* Current();

private:
    std::vector<TRetainCountObjectAutoReleasePool*> FPoolList;
};

class TRetainCountObjectAutoReleasePool {
public:
    TRetainCountObjectAutoReleasePool();
    // Pops and drains. A pool that is not the innermost of this thread is a
    // programming error no destructor can raise: it is logged and the
    // process aborts, with the stack left as it was.
    ~TRetainCountObjectAutoReleasePool();
    TRetainCountObjectAutoReleasePool(const TRetainCountObjectAutoReleasePool&) = delete;
    TRetainCountObjectAutoReleasePool& operator=(const TRetainCountObjectAutoReleasePool&) = delete;

    // What AutoRelease calls. Throws EInvalidPointer when the calling thread
    // has no open pool, rather than losing the release.
    static void AddRcObjectToTopPool(TRcObject* aObject);

    // Runs aProc inside a fresh pool; the pool drains also when aProc throws.
    static void DoProc(const std::function<void()>& aProc);

    std::size_t PendingCount() const { return FRcObjectList.size(); }

private:
    std::vector<TRcObject*> FRcObjectList;
};
