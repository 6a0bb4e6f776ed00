#include "SqliteDbMail.h"

#include "Business/Data/SqliteQuery.h"

namespace {

constexpr const char* kSave =
    "replace into [Mail]([id], [Type], [SorceResId], [SorceType], [SeenFlag], [SourceLanguage], [Targetlanguage], "
    "[SendReciveState], [Uid], [MessageId], [From], [To], [Subject], [Date], [HasAttachmentFlag],  [Size],[NorvelUid],"
    "[QunFaFlag],[ReceiptSend],[MailSummary],[reTranslation],[UserSecretary],[Secretaryer],[SecretaryFlag],"
    "[SecretaryedType],[SecretaryMemo],[References])values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? , ? , ? , "
    "? , ?, ? , ? , ? ,?,?,?)";

// A mail read from its row is written back only while the row is still in
// the folder and state it was read in: a move or a send made meanwhile by
// the other thread is not undone. Its read flag is written only when this
// mail changed it, so a flag set meanwhile stays. A column left empty by an
// older version reads as 0, on loading and here alike.
constexpr const char* kUpdateIfUnchanged =
    "update [Mail] set [Type] = ?2, [SorceResId] = ?3, [SorceType] = ?4, "
    "[SeenFlag] = case when ?28 then ?5 else [SeenFlag] end, [SourceLanguage] = ?6, [Targetlanguage] = ?7, "
    "[SendReciveState] = ?8, [Uid] = ?9, [MessageId] = ?10, [From] = ?11, [To] = ?12, [Subject] = ?13, "
    "[Date] = ?14, [HasAttachmentFlag] = ?15, [Size] = ?16, [NorvelUid] = ?17, [QunFaFlag] = ?18, "
    "[ReceiptSend] = ?19, [MailSummary] = ?20, [reTranslation] = ?21, [UserSecretary] = ?22, "
    "[Secretaryer] = ?23, [SecretaryFlag] = ?24, [SecretaryedType] = ?25, [SecretaryMemo] = ?26, "
    "[References] = ?27 where [id] = ?1 and ifnull([Type], 0) = ?29 and ifnull([SendReciveState], 0) = ?30";

// A whole folder is read faster in table order and sorted than walked in
// date order through an index (the rows then come from all over the
// file): "+[Date]" keeps SQLite from the folder-and-date index here.
constexpr const char* kSortQueries[] = {
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by +[Date] desc",
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [Subject], [Date] desc",
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [Size], [Date] desc",
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [SeenFlag], [Date] desc",
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [SeenFlag] desc, [Date] desc",
};

std::vector<TSqliteDbMail::TListRow> ListRows(TSQLiteUniTable& aTable)
{
    std::vector<TSqliteDbMail::TListRow> rows;
    for (; !aTable.Eof(); aTable.Next())
        rows.push_back({aTable.FieldAsString(0), aTable.FieldAsString(1), aTable.FieldAsString(2),
                        aTable.FieldAsString(3)});
    return rows;
}

std::vector<TSqliteDbMail::TPartyRow> PartyRows(TSQLiteUniTable& aTable)
{
    std::vector<TSqliteDbMail::TPartyRow> rows;
    for (; !aTable.Eof(); aTable.Next())
        rows.push_back({aTable.FieldAsString(0), aTable.FieldAsString(1), aTable.FieldAsString(2),
                        static_cast<int>(aTable.FieldAsInteger(3))});
    return rows;
}

} // namespace

bool TSqliteDbMail::Save(TSQLiteDatabase& aDb, TRcMail& aMail, int aFolderCode)
{
    const auto& mark = aMail.StoredMark();
    bool saved = false;
    TTransaction::Run(aDb, [&] {
        TSQLiteQueryEx q(aDb, mark ? kUpdateIfUnchanged : kSave);
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
        if (mark) {
            q.BindBoolean(28, aMail.FSeenFlag != mark->SeenFlag);
            q.BindInt64(29, mark->FolderCode);
            q.BindInt64(30, mark->State);
        }
        q.Exec();
        saved = !mark || q.Changes() > 0;
    });
    if (saved)
        aMail.SetStoredMark({aFolderCode, aMail.FSendReceiveState, aMail.FSeenFlag});
    return saved;
}

// The first rows only: in date order the folder-and-date index gives them
// without reading the rest of the folder.
constexpr const char* kFirstInDateOrder =
    "select [id], [From], [To], [Subject] from [Mail] where [Type] = ? order by [Date] desc";

const char* TSqliteDbMail::SortQuery(TGetMailsOpertionSortMode aSortMode, bool aFew)
{
    return aFew && aSortMode == gmosmDefault ? kFirstInDateOrder : kSortQueries[aSortMode];
}

std::vector<TSqliteDbMail::TListRow> TSqliteDbMail::ListFolder(TSQLiteDatabase& aDb, int aFolderCode,
                                                               TGetMailsOpertionSortMode aSortMode)
{
    std::vector<TListRow> rows;
    ListFolderWhile(aDb, aFolderCode, aSortMode, [&](const TListRow& aRow) {
        rows.push_back(aRow);
        return true;
    });
    return rows;
}

void TSqliteDbMail::ListFolderWhile(TSQLiteDatabase& aDb, int aFolderCode, TGetMailsOpertionSortMode aSortMode,
                                    const std::function<bool(const TListRow&)>& aRow, bool aFew)
{
    TSQLiteUniTable table(aDb, SortQuery(aSortMode, aFew));
    table.BindInteger(1, aFolderCode);
    for (; !table.Eof(); table.Next())
        if (!aRow({table.FieldAsString(0), table.FieldAsString(1), table.FieldAsString(2), table.FieldAsString(3)}))
            return;
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

namespace {

std::vector<std::string> Ids(TSQLiteUniTable& aTable)
{
    std::vector<std::string> ids;
    for (; !aTable.Eof(); aTable.Next())
        ids.push_back(aTable.FieldAsString(0));
    return ids;
}

} // namespace

std::vector<TSqliteDbMail::TListRow> TSqliteDbMail::ListNotReaded(TSQLiteDatabase& aDb, int aFolderCode)
{
    TSQLiteUniTable table(
        aDb, "select [id], [From], [To], [Subject] from [Mail] where (not ([SeenFlag] <> 0)) and ([Type] = ?)");
    table.BindInteger(1, aFolderCode);
    return ListRows(table);
}

int TSqliteDbMail::CountNotReaded(TSQLiteDatabase& aDb, int aFolderCode)
{
    TSQLiteUniTable table(aDb, "select count(*) from [Mail] where (not ([SeenFlag] <> 0)) and ([Type] = ?)");
    table.BindInteger(1, aFolderCode);
    return table.Eof() ? 0 : static_cast<int>(table.FieldAsInteger(0));
}

std::vector<std::string> TSqliteDbMail::AllIds(TSQLiteDatabase& aDb)
{
    TSQLiteUniTable table(aDb, "select [id] from [Mail]");
    return Ids(table);
}

std::string TSqliteDbMail::IdOfUid(TSQLiteDatabase& aDb, const std::string& aUid)
{
    // Mails that never came by POP3 have no uid: nothing may match them.
    if (aUid.empty())
        return {};
    TSQLiteUniTable table(aDb, "select [id] from [Mail] where [Uid] = ?");
    table.BindStr(1, aUid);
    return table.Eof() ? std::string() : table.FieldAsString(0);
}

bool TSqliteDbMail::Exists(TSQLiteDatabase& aDb, const std::string& aId)
{
    return aDb.GetTableValue("select count([id]) from [Mail] where [id] = ?",
                             [&](TSQLiteUniTable& t) { t.BindStr(1, aId); }) > 0;
}

std::optional<int> TSqliteDbMail::FolderCodeOfId(TSQLiteDatabase& aDb, const std::string& aId)
{
    TSQLiteUniTable table(aDb, "select [Type] from [Mail] where [id] = ?");
    table.BindStr(1, aId);
    if (table.Eof())
        return std::nullopt;
    return static_cast<int>(table.FieldAsInteger(0));
}

std::vector<std::string> TSqliteDbMail::IdsInState(TSQLiteDatabase& aDb, int aFolderCode, TMailSendReceiveState aState)
{
    TSQLiteUniTable table(
        aDb, "select [id] from [Mail] where ([Type] = ?) and ([SendReciveState] = ?) order by [Date] desc");
    table.BindInteger(1, aFolderCode);
    table.BindInteger(2, aState);
    return Ids(table);
}

void TSqliteDbMail::SetFolderCode(TSQLiteDatabase& aDb, const std::string& aId, int aFolderCode)
{
    aDb.ExecSQL("update [Mail] set [Type] = ?  where [id] = ?", [&](TSQLiteQueryEx& q) {
        q.BindInteger(1, aFolderCode);
        q.BindStr(2, aId);
    });
}

bool TSqliteDbMail::MoveIfIn(TSQLiteDatabase& aDb, const std::string& aId, int aFromCode, int aToCode,
                             TMailSendReceiveState aState)
{
    TSQLiteQueryEx q(aDb, "update [Mail] set [Type] = ? , [SendReciveState] = ? where [id] = ? and [Type] = ?");
    q.BindInteger(1, aToCode);
    q.BindInteger(2, aState);
    q.BindStr(3, aId);
    q.BindInteger(4, aFromCode);
    q.Exec();
    return q.Changes() > 0;
}

void TSqliteDbMail::SetState(TSQLiteDatabase& aDb, const std::string& aId, TMailSendReceiveState aState)
{
    aDb.ExecSQL("update [Mail] set [SendReciveState] = ? where ([id] = ?)", [&](TSQLiteQueryEx& q) {
        q.BindInteger(1, aState);
        q.BindStr(2, aId);
    });
}

std::optional<bool> TSqliteDbMail::SeenFlag(TSQLiteDatabase& aDb, const std::string& aId)
{
    TSQLiteUniTable table(aDb, "select [SeenFlag] from [Mail] where [id] = ?");
    table.BindStr(1, aId);
    if (table.Eof())
        return std::nullopt;
    return table.FieldAsBoolean(0);
}

void TSqliteDbMail::SetSeenFlag(TSQLiteDatabase& aDb, const std::string& aId, bool aSeen)
{
    aDb.ExecSQL("update [Mail] set [SeenFlag] = ? where [id] = ?", [&](TSQLiteQueryEx& q) {
        q.BindBoolean(1, aSeen);
        q.BindStr(2, aId);
    });
}

void TSqliteDbMail::SetReceiptSend(TSQLiteDatabase& aDb, const std::string& aId, bool aSent)
{
    aDb.ExecSQL("update [Mail] set [ReceiptSend] = ? where Id= ?", [&](TSQLiteQueryEx& q) {
        q.BindBoolean(1, aSent);
        q.BindStr(2, aId);
    });
}

void TSqliteDbMail::SetReTranslation(TSQLiteDatabase& aDb, const std::string& aId)
{
    aDb.ExecSQL("update [Mail] set [reTranslation] = 1 where [id] = ?", [&](TSQLiteQueryEx& q) { q.BindStr(1, aId); });
}

void TSqliteDbMail::SetReferences(TSQLiteDatabase& aDb, const std::string& aMessageId)
{
    aDb.ExecSQL("update [Mail] set [References] = ? where MessageId= ?", [&](TSQLiteQueryEx& q) {
        q.BindInteger(1, 1);
        q.BindStr(2, aMessageId);
    });
}

void TSqliteDbMail::SetNorvelUid(TSQLiteDatabase& aDb, const std::string& aId, const std::string& aNorvelUid)
{
    aDb.ExecSQL("update [Mail] set NorvelUid = ? where [id] = ? ", [&](TSQLiteQueryEx& q) {
        q.BindStr(1, aNorvelUid);
        q.BindStr(2, aId);
    });
}

void TSqliteDbMail::MarkComplexDeleted(TSQLiteDatabase& aDb, const std::string& aId)
{
    aDb.ExecSQL("update [MailComplexFile] set [Deleted] = 1  where [ComplexId] = ?",
                [&](TSQLiteQueryEx& q) { q.BindStr(1, aId); });
    // The complex itself too, so loading it cannot reach for removed files.
    aDb.ExecSQL("update [MailComplex] set [Deleted] = 1 where [Id] = ?", [&](TSQLiteQueryEx& q) { q.BindStr(1, aId); });
}

std::vector<TSqliteDbMail::TPartyRow> TSqliteDbMail::ListParties(TSQLiteDatabase& aDb)
{
    TSQLiteUniTable table(aDb, "select [id], [From], [To], [Type] from [Mail] order by [Date] desc");
    return PartyRows(table);
}

std::vector<TSqliteDbMail::TPartyRow> TSqliteDbMail::ListPartiesMentioning(TSQLiteDatabase& aDb,
                                                                             const std::string& aFirst,
                                                                             const std::string& aSecond)
{
    TSQLiteUniTable table(aDb, "select [id], [From], [To], [Type] from [Mail] where ([Type] in (2, 4, 5)) and "
                               "(instr(lower([From] || char(10) || [To]), lower(?)) > 0) and "
                               "(instr(lower([From] || char(10) || [To]), lower(?)) > 0) order by [Date] desc");
    table.BindStr(1, aFirst);
    table.BindStr(2, aSecond);
    return PartyRows(table);
}
