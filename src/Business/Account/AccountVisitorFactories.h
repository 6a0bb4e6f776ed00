// How screens list accounts and an account's folders through the resource
// manager.
#pragma once

#include "Business/Resource/ResVisitorFactory.h"

// rtAccount: every live account, under a nil or empty path only.
class TAccountResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};

// rtAccountMailFolder: the listed folders of the account a path ends with.
class TAccountMailFolderResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};

// rtSigin: the signatures of the account a path names.
class TSignResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};
