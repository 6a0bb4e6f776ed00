// Conversation items: one per mail in which a conversation's correspondent
// took part, in the ConversationItem table of the account's database.
#pragma once

#include <string>

#include "Business/Resource/ResPath.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

class TSQLiteDatabase;
class TSQLiteUniTable;

class TRcConversationItem : public TRcObject {
public:
    TRcConversationItem() = delete;   // made empty by the store, or from a row
    // The row a cursor is on: Id, Conversationid, EmailId, ItemsType,
    // MailDate, CreateTime, ModifyTime.
    explicit TRcConversationItem(TSQLiteUniTable& aRow);
    TRcConversationItem(std::string aId, TDateTime aCreateTime);

    std::string ToString() const override;

    std::string FId;
    std::string FConversationid;
    std::string FEmailId;
    std::string FItemsType;
    bool FDeleteFlage = false;
    TDateTime FMailDate = 0;
    TDateTime FCreateTime = 0;
    TDateTime FModifyTime = 0;
};

// All SQL of the item table. Paths start with the account.
class TSqliteDbConversationItem {
public:
    TSqliteDbConversationItem() = delete;

    // A fresh id, created now; owned by the caller.
    static TRcRef<TRcConversationItem> CreateEmptyConversationItem();
    // rtConversationItems ids of one conversation, newest mail first.
    static TRcResIdList* GetIds(const TRcResPath* aPath, const std::string& aConversationId);   // autoreleased
    // The item the path ends with; autoreleased, nullptr without a row.
    static TRcConversationItem* Load(const TRcResPath* aResPath);
    // The row, inside the caller's transaction.
    static void InternalSave(TSQLiteDatabase& aDb, const TRcConversationItem& aItem);
    static void Save(const TRcResPath* aResPath, const TRcConversationItem& aItem);
    static void Delete(const TRcResPath* aResPath);
    static void DeleteAllConversationItem(const TRcResPath* aResPath);
};
