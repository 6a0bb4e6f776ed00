#include "StationeryVisitorFactories.h"

#include "Business/Resource/ResPathCheck.h"
#include "LetterManager.h"
#include "TemplateManager.h"

namespace {

TRcRef<IResVisitor> VisitorOf(TRcResIdList* aIds)
{
    if (!aIds)
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(aIds));
}

} // namespace

TRcRef<IResVisitor> TTemplateFolderResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TTemplateManager* manager = TTemplateManager::TemplateManager();
    if (!manager || (!IsEmptyResPath(aPath) && !IsTemplateFolderResPath(aPath)))
        return nullptr;
    return VisitorOf(manager->GetTemplateFolders(aPath));
}

TRcResPath* TTemplateFolderResVisitorFactory::GetSingleton(TRcResPath* aPath) const
{
    TTemplateManager* manager = TTemplateManager::TemplateManager();
    if (!manager || !IsEmptyResPath(aPath))
        return nullptr;
    return manager->GetTemplateRootFolder();
}

TRcRef<IResVisitor> TTemplateResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const
{
    TTemplateManager* manager = TTemplateManager::TemplateManager();
    if (!manager || !IsTemplateFolderResPath(aPath) || aPath->Count() != 2)
        return nullptr;
    const auto* kind = dynamic_cast<ITemplateListOpertion*>(aOpertion);
    return VisitorOf(manager->GetTemplates(aPath, kind ? kind->TemplateKind() : -1));
}

TRcRef<IResVisitor> TLetterFolderResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TLetterManager* manager = TLetterManager::LetterManager();
    if (!manager || !IsEmptyResPath(aPath))
        return nullptr;
    return VisitorOf(manager->GetLetterFolders(aPath));
}

TRcResPath* TLetterFolderResVisitorFactory::GetSingleton(TRcResPath* aPath) const
{
    TLetterManager* manager = TLetterManager::LetterManager();
    if (!manager || !IsEmptyResPath(aPath))
        return nullptr;
    return manager->GetLetterRootFolder();
}

TRcRef<IResVisitor> TLetterResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TLetterManager* manager = TLetterManager::LetterManager();
    if (!manager || !IsLetterFolderResPath(aPath) || aPath->Count() != 1)
        return nullptr;
    return VisitorOf(manager->GetLetters(aPath));
}
