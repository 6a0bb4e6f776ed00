// How screens list an account's promotion templates through the resource
// manager: the one folder under the account, the templates in the folder,
// the items of a template.
#pragma once

#include "Business/Resource/ResVisitorFactory.h"

class TAccountPromoteTemplateFolderResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
    TRcResPath* GetSingleton(TRcResPath* aPath) const override;
};

class TPromoteTemplateResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};

class TPromoteTemplateItemResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};
