#include "ConversationItemManager.h"

#include "Business/Resource/ResPathCheck.h"

TConversationItemManager::TConversationItemManager() : FObservable(MakeRc<TRcConversationItemObservable>()) {}

TRcRef<TRcConversationItem> TConversationItemManager::CreateConversationItem()
{
    return TSqliteDbConversationItem::CreateEmptyConversationItem();
}

TRcConversationItem* TConversationItemManager::GetConversationItem(TRcResPath* aResPath)
{
    return TSqliteDbConversationItem::Load(aResPath);
}

TRcResIdList* TConversationItemManager::GetConversationItemIds(TRcResPath* aPath)
{
    if (!aPath || !aPath->Last())
        return nullptr;
    return TSqliteDbConversationItem::GetIds(aPath, aPath->Last()->Id());
}

TRcResPath* TConversationItemManager::SaveConversationItem(TRcResPath* aResPath, TRcConversationItem* aConversationItem)
{
    if (aConversationItem && IsAccountResPath(aResPath))
        TSqliteDbConversationItem::Save(aResPath, *aConversationItem);
    return nullptr;
}

void TConversationItemManager::DeleteConversationItem(TRcResPath* aResPath)
{
    TSqliteDbConversationItem::Delete(aResPath);
}
