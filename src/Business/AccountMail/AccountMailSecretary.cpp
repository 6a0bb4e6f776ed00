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

namespace {

// Anyone can send a mail with the exchange file: the mail it names may
// only be one of the user's own on their way out (sending folder or out
// box), never one it could hide or rewrite. The one check of that id.
bool IsLinkableSource(TSQLiteDatabase& aDb, const std::string& aSourceId, const TRcMail* aReply)
{
    if (!IsGuidId(aSourceId) || aSourceId == aReply->ResId()->Id())
        return false;
    const auto code = TSqliteDbMail::FolderCodeOfId(aDb, aSourceId);
    return code == FolderCodeOf(aftSending) || code == FolderCodeOf(aftOutBox);
}

} // namespace

void TAccountMailManager::SaveSecretaryMailCorresOriginal(TRcResPath* aResPath, TRcMail* aMail,
                                                          TRcMailComplex* aMailComplex)
{
    const auto ini = ReadSecretaryFile(aMailComplex);
    if (!ini || !aMail || ini->ReadInteger(kSecretarySection, "SecretaryFlag", 0) != 3)
        return;
    const auto account = MailAccountOf(aResPath);
    if (!account)
        return;
    // Finished work goes to the translation box whatever it names: a source
    // mail that is gone (or was never the user's) only leaves it unlinked.
    MoveMailToNorvelBox(aResPath, aMail, kTranslationMail);
    const std::string sourceId = Trimmed(ini->ReadString(kSecretarySection, "mailResId", ""));
    if (!IsLinkableSource(**account, sourceId, aMail))
        return;
    auto* source = TRcMail::CreateAndAutoRelease(MailId(sourceId), account->Db);
    source->FNorvelUid = aMail->ResId()->Id();
    source->FTargetLanguage = ini->ReadInteger(kSecretarySection, "Language", -1);
    if (TRcResPath* outBox = StandardFolder(aResPath, aftOutBox))
        SaveMail(outBox, source);
}
