#include "ProductVisitorFactories.h"

#include "ProductGroupManager.h"
#include "ProductManager.h"

TRcRef<IResVisitor> TProductGroupResVisitorFactory::CreateVisitor(TRcResPath*, IListOpertion*) const
{
    TProductGroupManager* manager = TProductGroupManager::ProductGroupManager();
    if (!manager)
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetProductGroups()));
}

TRcRef<IResVisitor> TProductResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const
{
    TProductManager* manager = TProductManager::ProductManager();
    if (!manager)
        return nullptr;
    TRcRef<TProductOpertion> opertion;
    if (auto* list = dynamic_cast<IProductListOpertion*>(aOpertion))
        opertion = MakeRc<TProductOpertion>(list->AllPathId(), list->NoGroupPathId());
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetProducts(aPath, opertion.Get())));
}

TRcRef<IResVisitor> TProductImageResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TProductManager* manager = TProductManager::ProductManager();
    if (!manager)
        return nullptr;
    return CreateVisitor(manager->GetProductImages(aPath));
}

TRcRef<IResVisitor> TProductImageResVisitorFactory::CreateVisitor(TRcResIdList* aResIdList) const
{
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(aResIdList));
}
