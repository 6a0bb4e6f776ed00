// TResourceManager: the one dispatcher through which screens list the
// children of a type under a path, through the factory registered for
// that type. Built first and released first by TBusiness.
#pragma once

#include <functional>
#include <span>

#include "ResVisitorFactory.h"
#include "Runtime/Singleton.h"

// A factory and the type it serves, as the business layer registers them.
struct TResVisitorFactoryEntry {
    TResType Type;
    const TResVisitorFactoryBase* Factory;
};

class TResourceManager : public TSingletonOf<TResourceManager> {
public:
    // Registers aFactories (the business layer passes the program's
    // table); the destructor unregisters them. The table must outlive the
    // manager.
    explicit TResourceManager(std::span<const TResVisitorFactoryEntry> aFactories = {});
    ~TResourceManager() override;

    static TResourceManager* ResourceManager() { return Instance(); }

    // nullptr when no factory serves aType or the path does not fit it.
    TRcRef<IResVisitor> List(TRcResPath* aPath, TResType aType, IListOpertion* aOpertion = nullptr) const;
    // Wraps aResIdList in aType's visitor; nullptr when none is registered.
    TRcRef<IResVisitor> List(TResType aType, TRcResIdList* aResIdList) const;
    // Calls aProc with every identifier of the listing, in order.
    void List(TRcResPath* aPath, TResType aType, const std::function<void(TRcResId*)>& aProc,
              IListOpertion* aOpertion = nullptr) const;
    // The single standard child of aType under aPath; nullptr when none.
    TRcResPath* GetOne(TRcResPath* aPath, TResType aType) const;

private:
    std::span<const TResVisitorFactoryEntry> FFactories;
};
