#include "ConversationItem.h"

#include "Business/Data/SqliteQuery.h"
#include "ConversationAccountDb.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

namespace {

constexpr const char* kIds = "select [id] from [ConversationItem] where [Conversationid] = ? and DeleteFlage = 0 "
                             "order by [MailDate] desc";
constexpr const char* kLoad = "select [Id],[Conversationid],[EmailId],[ItemsType],[MailDate], [CreateTime] , "
                              "[ModifyTime] from [ConversationItem] where [id] = ?";
constexpr const char* kSave = "replace into [ConversationItem](   [Id] ,[Conversationid] , [EmailId],[ItemsType],"
                              "[DeleteFlage] ,[MailDate], [CreateTime], [ModifyTime] ) values(   ? , ?, ? , ? , ?  , "
                              "? ,? , ? )";
constexpr const char* kDelete = "delete from [ConversationItem] where ([id] = ?)";
constexpr const char* kDeleteAll = "delete from [ConversationItem]";

} // namespace

TRcConversationItem::TRcConversationItem(TSQLiteUniTable& aRow)
    : FId(aRow.FieldAsString(0)),
      FConversationid(aRow.FieldAsString(1)),
      FEmailId(aRow.FieldAsString(2)),
      FItemsType(aRow.FieldAsString(3)),
      FMailDate(aRow.FieldAsDouble(4)),
      FCreateTime(aRow.FieldAsDouble(5)),
      FModifyTime(aRow.FieldAsDouble(6))
{
}

TRcConversationItem::TRcConversationItem(std::string aId, TDateTime aCreateTime)
    : FId(std::move(aId)), FCreateTime(aCreateTime)
{
}

std::string TRcConversationItem::ToString() const
{
    if (!FEmailId.empty())
        return FEmailId;
    return FormatText("<id: %s>", {FId});
}

TRcRef<TRcConversationItem> TSqliteDbConversationItem::CreateEmptyConversationItem()
{
    return MakeRc<TRcConversationItem>(NewGuidId(), Now());
}

TRcResIdList* TSqliteDbConversationItem::GetIds(const TRcResPath* aPath, const std::string& aConversationId)
{
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    TConversationAccountDb db(aPath);
    if (!db)
        return ids;
    TSQLiteUniTable rows(*db, kIds);
    rows.BindStr(1, aConversationId);
    for (; !rows.Eof(); rows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(rtConversationItems, rows.FieldAsString(0)));
    return ids;
}

TRcConversationItem* TSqliteDbConversationItem::Load(const TRcResPath* aResPath)
{
    TConversationAccountDb db(aResPath);
    if (!db || !aResPath->Last())
        return nullptr;
    TSQLiteUniTable row(*db, kLoad);
    row.BindStr(1, aResPath->Last()->Id());
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcConversationItem>(row);
}

void TSqliteDbConversationItem::InternalSave(TSQLiteDatabase& aDb, const TRcConversationItem& aItem)
{
    aDb.ExecSQL(kSave, [&](TSQLiteQueryEx& q) {
        q.BindStr(1, aItem.FId);
        q.BindStr(2, aItem.FConversationid);
        q.BindStr(3, aItem.FEmailId);
        q.BindStr(4, aItem.FItemsType);
        q.BindBoolean(5, aItem.FDeleteFlage);
        q.BindDouble(6, aItem.FMailDate);
        q.BindDouble(7, aItem.FCreateTime);
        q.BindDouble(8, aItem.FModifyTime);
    });
}

void TSqliteDbConversationItem::Save(const TRcResPath* aResPath, const TRcConversationItem& aItem)
{
    TConversationAccountDb db(aResPath);
    if (db)
        TTransaction::Run(*db, [&] { InternalSave(*db, aItem); });
}

void TSqliteDbConversationItem::Delete(const TRcResPath* aResPath)
{
    TConversationAccountDb db(aResPath);
    if (!db || !aResPath->Last())
        return;
    TTransaction::Run(*db, [&] { db->ExecSQL(kDelete, [&](TSQLiteQueryEx& q) { q.BindStr(1, aResPath->Last()->Id()); }); });
}

void TSqliteDbConversationItem::DeleteAllConversationItem(const TRcResPath* aResPath)
{
    TConversationAccountDb db(aResPath);
    if (db)
        TTransaction::Run(*db, [&] { db->ExecSQL(kDeleteAll); });
}
