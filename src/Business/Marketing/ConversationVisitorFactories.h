// How screens list an account's conversations and a conversation's items
// through the resource manager.
#pragma once

#include "Business/Resource/ResVisitorFactory.h"

// rtConversation: under an account's path.
class TConversationListResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};

// rtConversationItems: under [account, conversation].
class TConversationItemListResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};
