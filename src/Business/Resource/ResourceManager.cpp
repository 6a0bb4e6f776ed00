#include "ResourceManager.h"

TResourceManager::TResourceManager(std::span<const TResVisitorFactoryEntry> aFactories) : FFactories(aFactories)
{
    std::size_t registered = 0;
    try {
        for (const auto& entry : FFactories) {
            RegisterResVisitorFactory(entry.Type, entry.Factory);
            ++registered;
        }
    } catch (...) {
        for (std::size_t i = 0; i < registered; ++i)
            UnRegisterResVisitorFactory(FFactories[i].Type);
        throw;
    }
}

TResourceManager::~TResourceManager()
{
    for (const auto& entry : FFactories)
        if (ResVisitorFactoryOf(entry.Type) == entry.Factory)
            UnRegisterResVisitorFactory(entry.Type);
}

TRcRef<IResVisitor> TResourceManager::List(TRcResPath* aPath, TResType aType, IListOpertion* aOpertion) const
{
    const TResVisitorFactoryBase* factory = ResVisitorFactoryOf(aType);
    return factory ? factory->CreateVisitor(aPath, aOpertion) : nullptr;
}

TRcRef<IResVisitor> TResourceManager::List(TResType aType, TRcResIdList* aResIdList) const
{
    const TResVisitorFactoryBase* factory = ResVisitorFactoryOf(aType);
    return factory ? factory->CreateVisitor(aResIdList) : nullptr;
}

void TResourceManager::List(TRcResPath* aPath, TResType aType, const std::function<void(TRcResId*)>& aProc,
                            IListOpertion* aOpertion) const
{
    if (!aProc)
        return;
    auto visitor = List(aPath, aType, aOpertion);
    if (!visitor)
        return;
    for (int i = 0; i < visitor->Count(); ++i)
        if (visitor->MoveTo(i))
            aProc(visitor->Current());
}

TRcResPath* TResourceManager::GetOne(TRcResPath* aPath, TResType aType) const
{
    const TResVisitorFactoryBase* factory = ResVisitorFactoryOf(aType);
    return factory ? factory->GetSingleton(aPath) : nullptr;
}
