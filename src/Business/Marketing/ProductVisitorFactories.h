// How screens list the product catalogue through the resource manager:
// the groups (any path), a group's products (the path starts with the
// group; a product list operation names the pseudo-groups) and a
// product's pictures (a [group, product] path).
#pragma once

#include "Business/Resource/ResVisitorFactory.h"

class TProductGroupResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};

class TProductResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};

class TProductImageResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
    TRcRef<IResVisitor> CreateVisitor(TRcResIdList* aResIdList) const override;
};
