#include "SqliteDbMail.h"

#include "Business/Data/SqliteQuery.h"

namespace {

constexpr const char* kSave =
    "replace into [Mail]([id], [Type], [SorceResId], [SorceType], [SeenFlag], [SourceLanguage], [Targetlanguage], "
    "[SendReciveState], [Uid], [MessageId], [From], [To], [Subject], [Date], [HasAttachmentFlag],  [Size],[NorvelUid],"
    "[QunFaFlag],[ReceiptSend],[MailSummary],[reTranslation],[UserSecretary],[Secretaryer],[SecretaryFlag],"
    "[SecretaryedType],[SecretaryMemo],[References])values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? , ? , ? , "
    "? , ?, ? , ? , ? ,?,?,?)";

constexpr const char* kSortQueries[] = {
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [Date] desc",
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [Subject], [Date] desc",
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [Size], [Date] desc",
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [SeenFlag], [Date] desc",
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [SeenFlag] desc, [Date] desc",
};

} // namespace

void TSqliteDbMail::Save(TSQLiteDatabase& aDb, const TRcMail& aMail, int aFolderCode)
{
    TTransaction::Run(aDb, [&] {
        TSQLiteQueryEx q(aDb, kSave);
        q.BindStr(1, aMail.ResId()->Id());
        q.BindInteger(2, aFolderCode);
        if (aMail.SorceResId())
            q.BindStr(3, aMail.SorceResId()->Id());
        else
            q.BindNull(3);
        q.BindInteger(4, aMail.FSourceType);
        q.BindBoolean(5, aMail.FSeenFlag);
        q.BindInteger(6, aMail.FSourceLanguage);
        q.BindInteger(7, aMail.FTargetLanguage);
        q.BindInteger(8, aMail.FSendReceiveState);
        q.BindStr(9, aMail.FUid);
        q.BindStr(10, aMail.FMessageId);
        q.BindStr(11, aMail.FFrom);
        q.BindStr(12, aMail.FTo);
        q.BindStr(13, aMail.FSubject);
        q.BindDouble(14, aMail.FDate);
        q.BindBoolean(15, aMail.FHasAttachmentFlag);
        q.BindInt64(16, aMail.FSize);
        q.BindStr(17, aMail.FNorvelUid);
        q.BindStr(18, aMail.FQunFaFlag ? "T" : "F");
        q.BindBoolean(19, aMail.FReceiptSend);
        q.BindStr(20, aMail.FMailSummary);
        q.BindBoolean(21, aMail.FReTranslation);
        q.BindBoolean(22, aMail.FUserSecretary);
        q.BindStr(23, aMail.FSecretaryer);
        q.BindInteger(24, aMail.FSecretaryFlag);
        q.BindInteger(25, aMail.FSecretaryedType);
        q.BindStr(26, aMail.FSecretaryMemo);
        q.BindBoolean(27, aMail.FReferences);
        q.Exec();
    });
}

const char* TSqliteDbMail::SortQuery(TGetMailsOpertionSortMode aSortMode)
{
    return kSortQueries[aSortMode];
}

std::vector<TSqliteDbMail::TListRow> TSqliteDbMail::ListFolder(TSQLiteDatabase& aDb, int aFolderCode,
                                                               TGetMailsOpertionSortMode aSortMode)
{
    std::vector<TListRow> rows;
    TSQLiteUniTable table(aDb, SortQuery(aSortMode));
    table.BindInteger(1, aFolderCode);
    for (; !table.Eof(); table.Next())
        rows.push_back({table.FieldAsString(0), table.FieldAsString(1), table.FieldAsString(2), table.FieldAsString(3)});
    return rows;
}

void TSqliteDbMail::SaveHeader(TSQLiteDatabase& aDb, const THeaderRow& aHeader)
{
    aDb.ExecSQL("replace into [MailHeader]([uid], [Data], [FromAddress], [Subject]) values(?, ?, ?, ?)",
                [&](TSQLiteQueryEx& q) {
                    q.BindStr(1, aHeader.Uid);
                    q.BindDouble(2, aHeader.Data);
                    q.BindStr(3, aHeader.FromAddress);
                    q.BindStr(4, aHeader.Subject);
                });
}

std::optional<TSqliteDbMail::THeaderRow> TSqliteDbMail::LoadHeader(TSQLiteDatabase& aDb, const std::string& aUid)
{
    TSQLiteUniTable row(aDb, "select [uid], [Data], [FromAddress], [Subject] from [MailHeader] where [uid] = ?");
    row.BindStr(1, aUid);
    if (row.Eof())
        return std::nullopt;
    return THeaderRow{row.FieldAsString(0), row.FieldAsDouble(1), row.FieldAsString(2), row.FieldAsString(3)};
}
