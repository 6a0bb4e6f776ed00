#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "MailConversationHooks.h"
#include "MailManagerSeams.h"
#include "Business/Data/SqliteDatabase.h"
#include "Runtime/Errors.h"
#include "Runtime/FileSync.h"

using namespace mailstore;

TStoredComplexFiles TAccountMailManager::StoreReceivedFiles(TRcResPath* aFolderResPath, TRcMailComplex* aComplex)
{
    if (!aComplex)
        throw EInvalidPointer();
    const auto account = MailAccountOf(aFolderResPath);
    if (!account)
        throw Exception("账户数据库没有打开");
    return TStoredComplexFiles(account->MailsPath(), *aComplex, TStoredComplexFiles::TMode::LinkAndSyncLater);
}

void TAccountMailManager::SaveReceivedMails(TRcResPath* aFolderResPath, std::vector<TReceivedMail>& aMails,
                                            TRcResPathList* aSaved)
{
    if (aMails.empty())
        return;
    const auto folder = MailFolderOf(aFolderResPath);
    if (!folder)
        throw Exception("账户数据库没有打开");
    TSQLiteDatabase& db = *folder->Account;
    // Every file and then every new name on disk before any row names it.
    for (TReceivedMail& received : aMails)
        received.Files.Sync();
    SyncFolder(folder->Account.MailsPath());
    TTransaction::Run(db, [&] {
        for (TReceivedMail& received : aMails)
            received.Saved = false;
        for (std::size_t i = 0; i < aMails.size(); ++i) {
            TReceivedMail& received = aMails[i];
            TRcMail* mail = received.Mail.Get();
            // Never twice: whatever fetched it before, the uid is stored.
            if (!mail || mail->FUid.empty() || !TSqliteDbMail::IdOfUid(db, mail->FUid).empty())
                continue;
            if (!received.ReceiptFor.empty()) {
                TSqliteDbMail::SetReferences(db, received.ReceiptFor);
                TSqliteDbMail::Save(db, *mail, kRemovedCode);
                continue;
            }
            received.Files.WriteRows(db, mail->ResId()->Id());
            TSqliteDbMail::Save(db, *mail, folder->Code);
            received.Saved = true;
        }
    });
    bool any = false;
    for (std::size_t i = 0; i < aMails.size(); ++i) {
        if (!aMails[i].Saved)
            continue;   // its files go with the entry
        aMails[i].Files.Keep();
        TRcResPath* mailPath = aFolderResPath->Append(aMails[i].Mail->ResId());
        if (aSaved)
            aSaved->Add(mailPath);
        SaveMailContact(aFolderResPath, aMails[i].Mail.Get());
        MailKeptForConversations(mailPath, aMails[i].Mail.Get());
        any = true;
    }
    if (any)
        FObservable->NotifyChanged(aFolderResPath);
}
