#include "Mail.h"

#include "Business/Data/SqliteQuery.h"
#include "Runtime/TextFormat.h"

namespace {

constexpr const char* kLoad =
    "select  [SorceResId], [SorceType], [SeenFlag], [SourceLanguage], [TargetLanguage],  [SendReciveState],  [Uid], "
    "[MessageId], [From], [To], [Subject], [Date], [HasAttachmentFlag], [Size],[NorvelUid],[QunFaFlag]  ,[References],"
    "[ReceiptSend],[MailSummary],[reTranslation], [UserSecretary],[Secretaryer],[SecretaryFlag],[SecretaryedType],"
    "[SecretaryMemo], [Type]  from [Mail] where [id] = ?";

struct TFolderCode {
    TAccountFolderType Type;
    int Code;
};
constexpr TFolderCode kFolderCodes[] = {
    {aftReceiving, 1}, {aftInBox, 2}, {aftDraft, 3}, {aftSending, 4},
    {aftOutBox, 5},    {aftThrashBag, 6}, {aftNorvelBox, 7},
};

} // namespace

TMailSourceType MailSourceTypeOf(int64_t aStored)
{
    return aStored >= mrmNone && aStored <= mrmRelay ? static_cast<TMailSourceType>(aStored) : mrmNone;
}

TMailSendReceiveState MailSendReceiveStateOf(int64_t aStored)
{
    return aStored >= msarsNoneUser && aStored <= msarsMassHeld ? static_cast<TMailSendReceiveState>(aStored)
                                                                    : msarsNoneUser;
}

std::optional<int> FolderCodeOf(TAccountFolderType aType)
{
    for (const auto& entry : kFolderCodes)
        if (entry.Type == aType)
            return entry.Code;
    return std::nullopt;
}

std::optional<TAccountFolderType> FolderTypeOfCode(int aCode)
{
    for (const auto& entry : kFolderCodes)
        if (entry.Code == aCode)
            return entry.Type;
    return std::nullopt;
}

TRcMail::TRcMail(TRcResId* aResId, TSQLiteDatabase* aDb)
{
    if (!aResId)
        throw Exception("账户邮件资源ID为空");
    FResId = TRcRef<TRcResId>::Retain(aResId);
    if (!aDb)
        return;
    TSQLiteUniTable row(*aDb, kLoad);
    row.BindStr(1, aResId->Id());
    if (row.Eof())
        return;
    if (!row.FieldIsNull(0))
        FSorceResId = TRcRef<TRcResId>::Adopt(TRcResId::Create(rtAccountMail, row.FieldAsString(0)));
    FSourceType = MailSourceTypeOf(row.FieldAsInteger(1));
    FSeenFlag = row.FieldAsInteger(2) != 0;
    FSourceLanguage = static_cast<int>(row.FieldAsInteger(3));
    FTargetLanguage = static_cast<int>(row.FieldAsInteger(4));
    FSendReceiveState = MailSendReceiveStateOf(row.FieldAsInteger(5));
    FUid = row.FieldAsString(6);
    FMessageId = row.FieldAsString(7);
    FFrom = row.FieldAsString(8);
    FTo = row.FieldAsString(9);
    FSubject = row.FieldAsString(10);
    FDate = row.FieldAsDouble(11);
    FHasAttachmentFlag = row.FieldAsInteger(12) != 0;
    FSize = row.FieldAsInteger(13);
    FNorvelUid = row.FieldAsString(14);
    FQunFaFlag = row.FieldAsString(15) == "T";
    FReferences = row.FieldAsInteger(16) != 0;
    FReceiptSend = row.FieldAsInteger(17) != 0;
    FMailSummary = row.FieldAsString(18);
    FReTranslation = row.FieldAsInteger(19) != 0;
    FUserSecretary = row.FieldAsInteger(20) != 0;
    FSecretaryer = row.FieldAsString(21);
    FSecretaryFlag = static_cast<int>(row.FieldAsInteger(22));
    FSecretaryedType = static_cast<int>(row.FieldAsInteger(23));
    FSecretaryMemo = row.FieldAsString(24);
    FStoredMark = TStoredMark{row.FieldAsInteger(25), row.FieldAsInteger(5), FSeenFlag};
}

std::string TRcMail::ToString() const
{
    return FSubject.empty() ? FormatText("<id: %s>", {FResId->Id()}) : FSubject;
}
