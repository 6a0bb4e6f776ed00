#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "Business/Data/SqliteDatabase.h"
#include "Runtime/AsciiText.h"
#include "Runtime/GuidId.h"

using namespace mailstore;

TSecretaryData TAccountMailManager::GetSecretaryData(TRcMailComplex* aMailComplex, TRcMail* aMail) const
{
    return ::GetSecretaryData(aMailComplex, aMail);
}

void TAccountMailManager::SaveSecretaryMailCorresOriginal(TRcResPath* aResPath, TRcMail* aMail,
                                                          TRcMailComplex* aMailComplex)
{
    const auto ini = ReadSecretaryFile(aMailComplex);
    if (!ini || !aMail || ini->ReadInteger(kSecretarySection, "SecretaryFlag", 0) != 3)
        return;
    const auto account = MailAccountOf(aResPath);
    if (!account)
        return;
    // Anyone can send a mail with this file: it may only name one of the
    // user's own mails on their way out, never hide or rewrite another.
    const std::string sourceId = Trimmed(ini->ReadString(kSecretarySection, "mailResId", ""));
    if (!IsGuidId(sourceId) || sourceId == aMail->ResId()->Id())
        return;
    const auto code = TSqliteDbMail::FolderCodeOfId(**account, sourceId);
    if (code != FolderCodeOf(aftSending) && code != FolderCodeOf(aftOutBox))
        return;
    MoveMailToNorvelBox(aResPath, aMail, kTranslationMail);
    auto* source = TRcMail::CreateAndAutoRelease(MailId(sourceId), account->Db);
    source->FNorvelUid = aMail->ResId()->Id();
    source->FTargetLanguage = ini->ReadInteger(kSecretarySection, "Language", -1);
    if (TRcResPath* outBox = StandardFolder(aResPath, aftOutBox))
        SaveMail(outBox, source);
}
