#include "Conversation.h"

#include "Business/Data/SqliteQuery.h"
#include "ConversationAccountDb.h"
#include "Business/Mime/AddressList.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

#include <algorithm>

namespace {

constexpr const char* kIds = "select [id] from [Conversation] where DeleteFlage = 0 order by [LastMailDate] desc";
constexpr const char* kLoad = "select [Id],[Subject],[ConversationType],[LastMailDate], [CreateTime] , [ModifyTime] "
                              "from [Conversation] where [id] = ?";
constexpr const char* kDelete = "delete from [Conversation] where ([id] = ?)";
constexpr const char* kDeleteAll = "delete from [Conversation]";
constexpr const char* kByEmail = "select [Id],[Subject],[ConversationType], [LastMailDate],[CreateTime], "
                                 "[ModifyTime] from [Conversation] where [ConversationType]= ?";

} // namespace

TRcConversation::TRcConversation(TSQLiteUniTable& aRow)
    : FId(aRow.FieldAsString(0)),
      FSubject(aRow.FieldAsString(1)),
      FConversationType(aRow.FieldAsString(2)),
      FLastMailDate(aRow.FieldAsDouble(3)),
      FCreateTime(aRow.FieldAsDouble(4)),
      FModifyTime(aRow.FieldAsDouble(5))
{
}

TRcConversation::TRcConversation(std::string aId, TDateTime aCreateTime) : FId(std::move(aId)), FCreateTime(aCreateTime)
{
}

std::string TRcConversation::ToString() const
{
    if (!FSubject.empty())
        return FSubject;
    return FormatText("<id: %s>", {FId});
}

TRcRef<TRcConversation> TSqliteDbConversation::CreateEmptyConversation()
{
    return MakeRc<TRcConversation>(NewGuidId(), Now());
}

TRcResIdList* TSqliteDbConversation::GetIds(const TRcResPath* aPath)
{
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    TConversationAccountDb db(aPath);
    if (!db)
        return ids;
    TSQLiteUniTable rows(*db, kIds);
    for (; !rows.Eof(); rows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(rtConversation, rows.FieldAsString(0)));
    return ids;
}

TRcConversation* TSqliteDbConversation::Load(const TRcResPath* aResPath)
{
    TConversationAccountDb db(aResPath);
    if (!db || !aResPath->Last())
        return nullptr;
    TSQLiteUniTable row(*db, kLoad);
    row.BindStr(1, aResPath->Last()->Id());
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcConversation>(row);
}

void TSqliteDbConversation::Delete(const TRcResPath* aResPath)
{
    TConversationAccountDb db(aResPath);
    if (!db || !aResPath->Last())
        return;
    TTransaction::Run(*db, [&] { db->ExecSQL(kDelete, [&](TSQLiteQueryEx& q) { q.BindStr(1, aResPath->Last()->Id()); }); });
}

void TSqliteDbConversation::DeleteAllConversation(const TRcResPath* aResPath)
{
    TConversationAccountDb db(aResPath);
    if (db)
        TTransaction::Run(*db, [&] { db->ExecSQL(kDeleteAll); });
}

bool TSqliteDbConversation::CheckConversationByEmail(const TRcResPath* aResPath, const std::string& aEmailAddress)
{
    TConversationAccountDb db(aResPath);
    if (!db)
        return false;
    TSQLiteUniTable rows(*db, kByEmail);
    rows.BindStr(1, aEmailAddress);
    return !rows.Eof();
}

TRcRef<TRcConversation> TSqliteDbConversation::GetConversationByEmail(const TRcResPath* aResPath,
                                                                      const std::string& aFrom)
{
    TConversationAccountDb db(aResPath);
    if (db) {
        TSQLiteUniTable rows(*db, kByEmail);
        rows.BindStr(1, aFrom);
        if (!rows.Eof())
            return MakeRc<TRcConversation>(rows);
    }
    return CreateEmptyConversation();
}

void TSqliteDbConversation::StrToEmailAddressList(const std::string& aStr, std::vector<std::string>& aEMailAddress)
{
    std::vector<std::string> known;
    for (const std::string& entry : aEMailAddress)
        for (const TAddressItem& item : ParseAddressList(entry))
            known.push_back(item.Address);
    for (const TAddressItem& item : ParseAddressList(aStr)) {
        if (std::find(known.begin(), known.end(), item.Address) != known.end())
            continue;
        known.push_back(item.Address);
        if (item.Name.empty())
            aEMailAddress.push_back(item.Address);
        else
            aEMailAddress.push_back(FormatText("%s <%s>", {item.Name, item.Address}));
    }
}
