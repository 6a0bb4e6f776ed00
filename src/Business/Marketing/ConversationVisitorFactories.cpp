#include "ConversationVisitorFactories.h"

#include "Business/Resource/ResPathCheck.h"
#include "ConversationItemManager.h"
#include "ConversationManager.h"

TRcRef<IResVisitor> TConversationListResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TConversationManager* manager = TConversationManager::ConversationManager();
    if (!manager || !IsAccountResPath(aPath))
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetConversationIds(aPath)));
}

TRcRef<IResVisitor> TConversationItemListResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TConversationItemManager* manager = TConversationItemManager::ConversationItemManager();
    if (!manager || !IsConversationResPath(aPath) || !aPath->At(0)->IsType(rtAccount))
        return nullptr;
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(manager->GetConversationItemIds(aPath)));
}
