#include "Template.h"

#include "Business/Data/SqliteQuery.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

namespace {

constexpr const char* kIdsOfKind = "select [id] from [Template] where [Type] = ?";
constexpr const char* kIdsOfKindAndLanguage = "select [id] from [Template] where ([Type] = ?) and ([Language] = ?)";
constexpr const char* kLoad = "select    [Id] , [Language] , [Name], [PreviewFileName], [IndexFileName] , [SystemFlag] "
                              "from [Template] where [id] = ?";
constexpr const char* kSave = "replace into [Template](   [Id] , [Type], [Language] , [Name], [PreviewFileName], "
                              "[IndexFileName] , [SystemFlag]) values(   ? , ?, ? , ?, ?, ? , ? )";
constexpr const char* kFind = "select [Id], [SystemFlag] from [Template] where [id] = ?";
constexpr const char* kDelete = "delete from [Template] where ([id] = ?)";

} // namespace

TRcTemplate::TRcTemplate(TSQLiteUniTable& aRow, bool aAppSystemFlag)
    : FResId(MakeRc<TRcResId>(rtTemplate, aRow.FieldAsString(0))),
      FLanguage(static_cast<int>(aRow.FieldAsInteger(1))),
      FName(aRow.FieldAsString(2)),
      FPreviewFileName(aRow.FieldAsString(3)),
      FIndexFileName(aRow.FieldAsString(4)),
      FSystemFlag(aRow.FieldAsBoolean(5)),
      FAppSystemFlag(aAppSystemFlag)
{
}

TRcTemplate::TRcTemplate(std::string aId) : FResId(MakeRc<TRcResId>(rtTemplate, std::move(aId))) {}

TRcRef<TRcTemplate> TRcTemplate::CreateEmptyTemplate()
{
    return MakeRc<TRcTemplate>(NewGuidId());
}

std::string TRcTemplate::ToString() const
{
    if (!FName.empty())
        return FName;
    return FormatText("<id: %s>", {Id()});
}

void TSqliteDbTemplate::AddIds(TSQLiteDatabase& aDb, int aKind, int aLanguage, TRcResIdList& aIds)
{
    TSQLiteUniTable rows(aDb, aLanguage == -1 ? kIdsOfKind : kIdsOfKindAndLanguage);
    rows.BindInteger(1, aKind);
    if (aLanguage != -1)
        rows.BindInteger(2, aLanguage);
    for (; !rows.Eof(); rows.Next())
        aIds.Add(TRcResId::CreateAndAutoRelease(rtTemplate, rows.FieldAsString(0)));
}

TRcTemplate* TSqliteDbTemplate::Load(TSQLiteDatabase& aDb, const std::string& aId, bool aAppSystemFlag)
{
    TSQLiteUniTable row(aDb, kLoad);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcTemplate>(row, aAppSystemFlag);
}

void TSqliteDbTemplate::Save(TSQLiteDatabase& aDb, const TRcTemplate& aTemplate, int aKind)
{
    TTransaction::Run(aDb, [&] {
        aDb.ExecSQL(kSave, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aTemplate.Id());
            q.BindInteger(2, aKind);
            q.BindInteger(3, aTemplate.FLanguage);
            q.BindStr(4, aTemplate.FName);
            q.BindStr(5, aTemplate.FPreviewFileName);
            q.BindStr(6, aTemplate.FIndexFileName);
            q.BindInteger(7, 0);
        });
    });
}

int TSqliteDbTemplate::Delete(TSQLiteDatabase& aDb, const std::string& aId)
{
    int result = 1;
    TTransaction::Run(aDb, [&] {
        TSQLiteUniTable row(aDb, kFind);
        row.BindStr(1, aId);
        if (row.Eof() || row.FieldAsBoolean(1))
            return;
        aDb.ExecSQL(kDelete, [&](TSQLiteQueryEx& q) { q.BindStr(1, aId); });
        result = 0;
    });
    return result;
}
