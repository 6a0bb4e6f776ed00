#include "PromoteTemplateVisitorFactories.h"

#include "PromoteTemplateManager.h"
#include "Business/Resource/ResPathCheck.h"

TRcRef<IResVisitor> TAccountPromoteTemplateFolderResVisitorFactory::CreateVisitor(TRcResPath* aPath,
                                                                                  IListOpertion*) const
{
    TRcResPath* folder = GetSingleton(aPath);
    return folder ? TRcRef<IResVisitor>::Adopt(new TResPathVisitor(folder)) : nullptr;
}

TRcResPath* TAccountPromoteTemplateFolderResVisitorFactory::GetSingleton(TRcResPath* aPath) const
{
    TPromoteTemplateManager* manager = TPromoteTemplateManager::PromoteTemplateManager();
    if (!manager || !IsAccountResPath(aPath))
        return nullptr;
    return manager->GetPromoteTemplateFolderResPath(aPath);
}

TRcRef<IResVisitor> TPromoteTemplateResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TPromoteTemplateManager* manager = TPromoteTemplateManager::PromoteTemplateManager();
    if (!manager || !IsPromoteTemplateFolderResPath(aPath))
        return nullptr;
    TRcResIdList* ids = manager->GetPromoteTemplates(aPath);
    return ids ? TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(ids)) : nullptr;
}

TRcRef<IResVisitor> TPromoteTemplateItemResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TPromoteTemplateManager* manager = TPromoteTemplateManager::PromoteTemplateManager();
    if (!manager || !IsPromoteTemplateResPath(aPath))
        return nullptr;
    TRcResIdList* ids = manager->GetPromoteTemplateItems(aPath);
    return ids ? TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(ids)) : nullptr;
}
