// How screens list an account's address book through the resource
// manager: its one folder under the account, the groups under the folder,
// the cards under a group (with the contacts list operation naming the
// two pseudo-groups).
#pragma once

#include "Business/Resource/ResVisitorFactory.h"

class TAccountAddressBookFolderResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
    TRcResPath* GetSingleton(TRcResPath* aPath) const override;
};

class TAccountAddressBookGroupResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
    TRcRef<IResVisitor> CreateVisitor(TRcResIdList* aResIdList) const override;
};

class TAccountAddressBookResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
    TRcRef<IResVisitor> CreateVisitor(TRcResIdList* aResIdList) const override;
};
