#include "RulesVisitorFactories.h"

#include "Business/Resource/ResPathCheck.h"
#include "MailFilter.h"
#include "NameList.h"

TRcRef<IResVisitor> TBlackNameListResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TNameListManager* manager = TNameListManager::NameListManager();
    if (!manager || !IsAccountResPath(aPath))
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetBlackNameListIds(aPath)));
}

TRcRef<IResVisitor> TWhiteNameListResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TNameListManager* manager = TNameListManager::NameListManager();
    if (!manager || !IsAccountResPath(aPath))
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetWhiteNameListIds(aPath)));
}

TRcRef<IResVisitor> TSubjectFilterResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TMailFilterManager* manager = TMailFilterManager::MailFilterManager();
    if (!manager || !IsAccountResPath(aPath))
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetIDs(aPath)));
}
