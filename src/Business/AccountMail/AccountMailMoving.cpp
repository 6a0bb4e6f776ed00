#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "MailConversationHooks.h"
#include "Business/Data/SqliteDatabase.h"

using namespace mailstore;

void TAccountMailManager::RemoveFromFolders(TRcResPath* aMailResPath, bool aDirect)
{
    if (!IsMailPath(aMailResPath))
        return;
    const auto account = MailAccountOf(aMailResPath);
    if (!account)
        return;
    const std::string& id = aMailResPath->Last()->Id();
    std::optional<int> stored;
    int newCode = kRemovedCode;
    TTransaction::Run(**account, [&] {
        stored = TSqliteDbMail::FolderCodeOfId(**account, id);
        if (!stored || *stored == kRemovedCode)
            return;
        newCode = (aDirect || *stored == *FolderCodeOf(aftThrashBag)) ? kRemovedCode : *FolderCodeOf(aftThrashBag);
        TSqliteDbMail::SetFolderCode(**account, id, newCode);
        // With the same commit: a mail gone whose files were still live
        // would keep them forever (the sweep keeps what a row names).
        if (newCode == kRemovedCode)
            TSqliteDbMail::MarkComplexDeleted(**account, id);
    });
    if (!stored || *stored == kRemovedCode)
        return;
    if (newCode == kRemovedCode) {
        // The mail is out of its folder whatever happens to its files: a
        // file that cannot go now stays marked and goes with a later sweep,
        // and the lists must still hear of the delete.
        Swallowed("DeleteMailComplex", [&] { TSqliteDbMail::DeleteMailComplex(**account, account->MailsPath()); });
        MailGoneForConversations(aMailResPath);
    }
    if (TRcResPath* folder = FolderPathOfCode(aMailResPath, *stored))
        FObservable->NotifyChanged(folder);
    if (*stored != *FolderCodeOf(aftThrashBag))
        if (TRcResPath* trash = StandardFolder(aMailResPath, aftThrashBag))
            FObservable->NotifyChanged(trash);
}

void TAccountMailManager::DeleteMail(TRcResPath* aMailResPath)
{
    RemoveFromFolders(aMailResPath, false);
}

void TAccountMailManager::DirectDeleteMail(TRcResPath* aMailResPath)
{
    RemoveFromFolders(aMailResPath, true);
}

bool TAccountMailManager::MoveMail(TRcResPath* aMailResPath, TRcResPath* aNewFolderResPath,
                                   TMailSendReceiveState aNewReceiveSendState)
{
    const auto target = MailFolderOf(aNewFolderResPath);
    if (!target || !IsMailPath(aMailResPath) || !aMailResPath->At(0)->Equals(aNewFolderResPath->At(0)))
        return false;
    const auto from = MailFolderOf(aMailResPath->ParentPath());
    if (!from)
        return false;
    const std::string& id = aMailResPath->Last()->Id();
    bool moved = false;
    TTransaction::Run(*target->Account, [&] {
        moved = TSqliteDbMail::MoveIfIn(*target->Account, id, from->Code, target->Code, aNewReceiveSendState);
    });
    if (!moved)
        return false;
    MailKeptForConversations(aNewFolderResPath->Append(aMailResPath->Last()), nullptr);
    FObservable->NotifyChanged(aMailResPath->ParentPath());
    FObservable->NotifyChanged(aNewFolderResPath);
    return true;
}

void TAccountMailManager::MoveMails(TRcResPathList* aMailResPaths, TRcResPath* aNewFolderResPath,
                                    TRcResPathList* aMoved)
{
    if (aMoved)
        aMoved->Clear();
    if (!aMailResPaths || aMailResPaths->Count() == 0 || !IsMailPath(aMailResPaths->First()))
        return;
    TRcResPath* oldFolder = aMailResPaths->First()->ParentPath();
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    const auto oldType = folders ? folders->GetFolderType(oldFolder) : std::nullopt;
    const auto target = MailFolderOf(aNewFolderResPath);
    if (!oldType || !target)
        return;
    auto moved = TRcRef<TRcResPathList>::Adopt(new TRcResPathList());
    TTransaction::Run(*target->Account, [&] {
        for (TRcResPath* path : *aMailResPaths) {
            // Another account's mail is not in this database.
            if (!IsMailPath(path) || !path->At(0)->Equals(aNewFolderResPath->At(0)))
                continue;
            const auto from = folders->GetFolderType(path->ParentPath());
            const auto fromCode = from ? FolderCodeOf(*from) : std::nullopt;
            if (!fromCode ||
                !TSqliteDbMail::MoveIfIn(*target->Account, path->Last()->Id(), *fromCode, target->Code, msarsNoneUser)) {
                TLog::O(lolWorn, "邮件 %s 已不在原来的文件夹，没有移动", {path->Last()->Id()});
                continue;
            }
            moved->Add(aNewFolderResPath->Append(path->Last()));
        }
    });
    if (aMoved)
        aMoved->AddList(moved.Get());
    for (TRcResPath* path : *moved)
        MailKeptForConversations(path, nullptr);
    if (*oldType != aftReceiving)
        FObservable->NotifyChanged(oldFolder);
    if (target->Type != aftReceiving)
        FObservable->NotifyChanged(aNewFolderResPath);
}

bool TAccountMailManager::MoveMailToInBox(TRcResPath* aResPath, TRcMail* aMail)
{
    const auto account = MailAccountOf(aResPath);
    if (!account || !aMail)
        return false;
    TTransaction::Run(**account, [&] {
        TSqliteDbMail::SetFolderCode(**account, aMail->ResId()->Id(), *FolderCodeOf(aftInBox));
    });
    MarkMovedTo(aMail, *FolderCodeOf(aftInBox));
    if (TRcResPath* inbox = StandardFolder(aResPath, aftInBox))
        MailKeptForConversations(inbox->Append(aMail->ResId()), aMail);
    if (TRcResPath* parent = aResPath->ParentPath())
        FObservable->NotifyChanged(parent);
    if (TRcResPath* inbox = StandardFolder(aResPath, aftInBox))
        FObservable->NotifyChanged(inbox);
    return true;
}
