#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "MailComplex.h"
#include "MailHeaderFields.h"
#include "Business/Data/SqliteDatabase.h"
#include "Runtime/Errors.h"

#include <algorithm>

using namespace mailstore;

TRcMailComplex* TAccountMailManager::LoadMailComplex(TRcResPath* aMailResPath, bool aDisplayPage)
{
    const auto account = MailAccountOfMail(aMailResPath);
    if (!account)
        return nullptr;
    return TSqliteDbMail::LoadMailComplex(**account, account->MailsPath(), aMailResPath->Last()->Id(), aDisplayPage);
}

bool TAccountMailManager::SaveMailComplex(TRcResPath* aMailResPath, TRcMailComplex* aMailComplex)
{
    if (!aMailComplex)
        throw EInvalidPointer();
    const auto account = MailAccountOfMail(aMailResPath);
    if (!account)
        return false;
    return TSqliteDbMail::SaveMailComplex(**account, account->MailsPath(), aMailResPath->Last()->Id(), *aMailComplex);
}

void TAccountMailManager::DeleteMailComplex(TRcResPath* aMailResPath)
{
    if (const auto account = MailAccountOf(aMailResPath))
        TSqliteDbMail::DeleteMailComplex(**account, account->MailsPath());
}

void TAccountMailManager::UpdateMailByMailComplex(TRcMail* aMail, TRcMailComplex* aMailComplex)
{
    if (!aMail || !aMailComplex)
        return;
    const TMailHeaderFields header = MailHeaderFieldsOf(aMailComplex->MessageHeader());
    aMail->FMessageId = header.MessageId;
    aMail->FFrom = header.From;
    aMail->FTo = header.To;
    aMail->FSubject = header.Subject;
    if (header.HasDate)
        aMail->FDate = header.Date;
    aMail->FHasAttachmentFlag = aMailComplex->AttachmentFileList()->Count() > 0;
    aMail->FSize = std::max<int64_t>(aMailComplex->Raw()->Size(), 0);
    const TSecretaryData secretary = GetSecretaryData(aMailComplex, aMail);
    aMail->FSecretaryFlag = secretary.FSecretaryFlag;
    aMail->FSecretaryedType = secretary.FSendType;
    aMail->FSecretaryMemo = secretary.FMemo;
    aMail->FTargetLanguage = secretary.FLanguage;
}
