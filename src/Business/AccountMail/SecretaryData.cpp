#include "SecretaryData.h"

#include "Mail.h"
#include "MailComplex.h"

std::optional<TIniFile> ReadSecretaryFile(const TRcMailComplex* aMailComplex)
{
    if (!aMailComplex)
        return std::nullopt;
    for (TRcMailComplexAttachmentFile* file : *aMailComplex->AttachmentFileList())
        if (file->FRealFileName == kSecretaryIniFileName)
            return TIniFile::LoadFromFile(file->FFileName.string());
    return std::nullopt;
}

TSecretaryData GetSecretaryData(const TRcMailComplex* aMailComplex, const TRcMail* aMail)
{
    TSecretaryData data;
    if (aMail)
        data.FSecretaryFlag = aMail->FSecretaryFlag;
    if (const auto ini = ReadSecretaryFile(aMailComplex)) {
        data.FSecretaryFlag = ini->ReadInteger(kSecretarySection, "SecretaryFlag", 0);
        data.FSendType = ini->ReadInteger(kSecretarySection, "SecretaryedType", -1);
        data.FMemo = ini->ReadString(kSecretarySection, "SecretaryMemo", "");
        data.FLanguage = ini->ReadInteger(kSecretarySection, "Language", -1);
    }
    return data;
}
