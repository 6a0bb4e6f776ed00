#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "MailConversationHooks.h"
#include "MailManagerSeams.h"
#include "Business/Data/SqliteDatabase.h"
#include "Runtime/GuidId.h"

using namespace mailstore;

TRcRef<TRcMail> TAccountMailManager::CreateMail()
{
    return TRcRef<TRcMail>::Adopt(new TRcMail(MailId(NewGuidId()), nullptr));
}

TRcResPath* TAccountMailManager::Save(const TMailFolder& aFolder, TRcResPath* aFolderResPath, TRcMail* aMail,
                                      bool aTranslate)
{
    const TMailFolder* folder = &aFolder;
    bool existed = false;
    TTransaction::Run(*folder->Account, [&] {
        existed = TSqliteDbMail::Exists(*folder->Account, aMail->ResId()->Id());
        if (!TSqliteDbMail::Save(*folder->Account, *aMail, folder->Code))
            throw EMailChangedMeanwhile(aMail->ToString());
        if (aTranslate && aMail->FSourceType == mrmTranslate && aMail->SorceResId())
            TSqliteDbMail::SetState(*folder->Account, aMail->SorceResId()->Id(), msarsPop3TransSource);
    });
    TRcResPath* mailPath = aFolderResPath->Append(aMail->ResId());
    if (!aTranslate)
        SaveMailContact(aFolderResPath, aMail);
    MailKeptForConversations(mailPath, aMail);
    if (existed)
        FObservable->NotifyContentChanged(mailPath);
    if (!existed || aTranslate)
        FObservable->NotifyChanged(aFolderResPath);
    if (aTranslate)
        SaveMailContact(aFolderResPath, aMail);
    return mailPath;
}

TRcResPath* TAccountMailManager::SaveMail(TRcResPath* aFolderResPath, TRcMail* aMail)
{
    const auto folder = MailFolderOf(aFolderResPath);
    return folder && aMail ? Save(*folder, aFolderResPath, aMail, false) : nullptr;
}

TRcResPath* TAccountMailManager::SaveTranslateMail(TRcResPath* aFolderResPath, TRcMail* aMail)
{
    const auto folder = MailFolderOf(aFolderResPath);
    return folder && aMail ? Save(*folder, aFolderResPath, aMail, true) : nullptr;
}
