#include "Letter.h"

#include "Business/Data/SqliteQuery.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

namespace {

constexpr const char* kIds = "select [id] from [Letter] where [Type] = ?";
constexpr const char* kLoad = "select    [Id] , [Name], [FileName] from [Letter] where [id] = ?";
constexpr const char* kSave = "replace into [Letter](   [Id] , [Type], [Name] , [FileName]) values(   ? , ?, ? , ? )";
constexpr const char* kDelete = "delete from [Letter] where ([id] = ?)";

} // namespace

TRcLetter::TRcLetter(TSQLiteUniTable& aRow, bool aAppSystemFlag)
    : FResId(MakeRc<TRcResId>(rtLetter, aRow.FieldAsString(0))),
      FName(aRow.FieldAsString(1)),
      FFileName(aRow.FieldAsString(2)),
      FAppSystemFlag(aAppSystemFlag)
{
}

TRcLetter::TRcLetter(std::string aId) : FResId(MakeRc<TRcResId>(rtLetter, std::move(aId))) {}

TRcRef<TRcLetter> TRcLetter::CreateEmptyLetter()
{
    return MakeRc<TRcLetter>(NewGuidId());
}

std::string TRcLetter::ToString() const
{
    if (!FName.empty())
        return FName;
    return FormatText("<id: %s>", {Id()});
}

void TSqliteDbLetter::AddIds(TSQLiteDatabase& aDb, TRcResIdList& aIds)
{
    TSQLiteUniTable rows(aDb, kIds);
    rows.BindInteger(1, kLetterType);
    for (; !rows.Eof(); rows.Next())
        aIds.Add(TRcResId::CreateAndAutoRelease(rtLetter, rows.FieldAsString(0)));
}

TRcLetter* TSqliteDbLetter::Load(TSQLiteDatabase& aDb, const std::string& aId, bool aAppSystemFlag)
{
    TSQLiteUniTable row(aDb, kLoad);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcLetter>(row, aAppSystemFlag);
}

void TSqliteDbLetter::Save(TSQLiteDatabase& aDb, const TRcLetter& aLetter)
{
    TTransaction::Run(aDb, [&] {
        aDb.ExecSQL(kSave, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aLetter.Id());
            q.BindInteger(2, kLetterType);
            q.BindStr(3, aLetter.FName);
            q.BindStr(4, aLetter.FFileName);
        });
    });
}

bool TSqliteDbLetter::Delete(TSQLiteDatabase& aDb, const std::string& aId)
{
    int deleted = 0;
    TTransaction::Run(aDb, [&] {
        TSQLiteQueryEx q(aDb, kDelete);
        q.BindStr(1, aId);
        q.Exec();
        deleted = q.Changes();
    });
    return deleted > 0;
}
