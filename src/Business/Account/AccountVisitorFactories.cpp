#include "AccountVisitorFactories.h"

#include "AccountFolder.h"
#include "AccountManager.h"
#include "Business/Resource/ResPathCheck.h"

TRcRef<IResVisitor> TAccountResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TAccountManager* manager = TAccountManager::AccountManager();
    if (!manager || !IsEmptyResPath(aPath))
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetAccounts()));
}

TRcRef<IResVisitor> TAccountMailFolderResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TAccountFolderManager* manager = TAccountFolderManager::AccountFolderManager();
    if (!manager || !IsAccountRootedResPath(aPath))
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetFolders(aPath)));
}

TRcRef<IResVisitor> TSignResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TAccountManager* manager = TAccountManager::AccountManager();
    if (!manager || !IsAccountResPath(aPath))
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetAccountSignIds(aPath)));
}
