#include "ContactsVisitorFactories.h"

#include "AddressBookGroupManager.h"
#include "AddressBookManager.h"
#include "Business/Resource/ResPathCheck.h"

TRcRef<IResVisitor> TAccountAddressBookFolderResVisitorFactory::CreateVisitor(TRcResPath* aPath,
                                                                              IListOpertion*) const
{
    TRcResPath* folder = GetSingleton(aPath);
    return folder ? TRcRef<IResVisitor>::Adopt(new TResPathVisitor(folder)) : nullptr;
}

TRcResPath* TAccountAddressBookFolderResVisitorFactory::GetSingleton(TRcResPath* aPath) const
{
    TAccountAddressBookGroupManager* manager = TAccountAddressBookGroupManager::AccountAddressBookGroupManager();
    if (!manager || !IsAccountResPath(aPath))
        return nullptr;
    return manager->GetAddressBookFolderResPath(aPath);
}

TRcRef<IResVisitor> TAccountAddressBookGroupResVisitorFactory::CreateVisitor(TRcResPath* aPath,
                                                                             IListOpertion*) const
{
    TAccountAddressBookGroupManager* manager = TAccountAddressBookGroupManager::AccountAddressBookGroupManager();
    if (!manager || !IsAddressBookFolderResPath(aPath))
        return nullptr;
    return CreateVisitor(manager->GetAddressBookGroups(aPath));
}

TRcRef<IResVisitor> TAccountAddressBookGroupResVisitorFactory::CreateVisitor(TRcResIdList* aResIdList) const
{
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(aResIdList));
}

TRcRef<IResVisitor> TAccountAddressBookResVisitorFactory::CreateVisitor(TRcResPath* aPath,
                                                                        IListOpertion* aOpertion) const
{
    TAccountAddressBookManager* manager = TAccountAddressBookManager::AccountAddressBookManager();
    if (!manager)
        return nullptr;
    // The manager decides which paths it lists; the list operation names
    // the pseudo-groups.
    TRcRef<TContactOpertion> opertion;
    if (auto* contacts = dynamic_cast<IContactsListOpertion*>(aOpertion)) {
        opertion = MakeRc<TContactOpertion>();
        opertion->FAllResId = contacts->AllResid();
        opertion->FNoGroupResId = contacts->NoGroupResid();
    }
    return CreateVisitor(manager->GetAddressBooks(aPath, opertion.Get()));
}

TRcRef<IResVisitor> TAccountAddressBookResVisitorFactory::CreateVisitor(TRcResIdList* aResIdList) const
{
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(aResIdList));
}
