// How screens list mails through the resource manager: the mails of a
// folder (filtered and ordered by an IAccountMailListOpertion), or, for a
// mail's path, the mails exchanged with the same correspondent.
#pragma once

#include "Business/Resource/ResVisitorFactory.h"

class TAccountMailResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};
