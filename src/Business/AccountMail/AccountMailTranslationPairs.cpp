#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "Business/Data/SqliteDatabase.h"

using namespace mailstore;

TRcResPath* TAccountMailManager::FolderPathOf(TRcResPath* aResPath) const
{
    if (IsMailPath(aResPath))
        return aResPath->ParentPath();
    return aResPath && aResPath->Count() == 2 ? aResPath : nullptr;
}

void TAccountMailManager::UpdateMailCorresNorvel(TSQLiteDatabase& aDb, TRcMail* aMail, int aMailType)
{
    if (!aMail || !aMail->SorceResId())
        return;
    if (aMailType == kTranslationMail)
        TSqliteDbMail::SetNorvelUid(aDb, aMail->SorceResId()->Id(), aMail->ResId()->Id());
    else if (aMailType == kTranslatedMail)
        TSqliteDbMail::SetNorvelUid(aDb, aMail->ResId()->Id(), aMail->SorceResId()->Id());
}

void TAccountMailManager::MoveRowsToNorvelBox(TSQLiteDatabase& aDb, TRcMail* aMail, int aMailType)
{
    const int norvelBox = *FolderCodeOf(aftNorvelBox);
    if (aMailType == kTranslationMail) {
        TSqliteDbMail::SetFolderCode(aDb, aMail->ResId()->Id(), norvelBox);
    } else if (aMailType == kTranslatedMail) {
        TSqliteDbMail::SetFolderCode(aDb, aMail->ResId()->Id(), *FolderCodeOf(aftInBox));
        if (aMail->SorceResId())
            TSqliteDbMail::SetFolderCode(aDb, aMail->SorceResId()->Id(), norvelBox);
    }
}

// Where MoveRowsToNorvelBox put aMail's own row.
static int NorvelMoveTarget(int aMailType)
{
    return *FolderCodeOf(aMailType == TAccountMailManager::kTranslatedMail ? aftInBox : aftNorvelBox);
}

void TAccountMailManager::NotifyFolderAndInBox(TRcResPath* aResPath)
{
    TRcResPath* folder = FolderPathOf(aResPath);
    if (folder)
        FObservable->NotifyChanged(folder);
    if (TRcResPath* inbox = StandardFolder(aResPath, aftInBox))
        if (!folder || !folder->Equals(inbox))
            FObservable->NotifyChanged(inbox);
}

bool TAccountMailManager::MoveMailToNorvelBox(TRcResPath* aResPath, TRcMail* aMail, int aMailType)
{
    const auto account = MailAccountOf(aResPath);
    if (!account || !aMail)
        return false;
    TTransaction::Run(**account, [&] { MoveRowsToNorvelBox(**account, aMail, aMailType); });
    if (aMailType == kTranslationMail || aMailType == kTranslatedMail)
        MarkMovedTo(aMail, NorvelMoveTarget(aMailType));
    if (TRcResPath* folder = FolderPathOf(aResPath))
        FObservable->NotifyChanged(folder);
    return true;
}

// The link and the moves are one change: a failure leaves neither.
void TAccountMailManager::SourceMailCorresOriginal(TRcResPath* aResPath, TRcMail* aMail, int aMailType)
{
    const auto account = MailAccountOf(aResPath);
    if (!account || !aMail)
        return;
    TTransaction::Run(**account, [&] {
        UpdateMailCorresNorvel(**account, aMail, aMailType);
        MoveRowsToNorvelBox(**account, aMail, aMailType);
    });
    if (aMailType == kTranslationMail || aMailType == kTranslatedMail)
        MarkMovedTo(aMail, NorvelMoveTarget(aMailType));
    NotifyFolderAndInBox(aResPath);
}

void TAccountMailManager::UpdateNorvelMail(TRcResPath* aResPath, TRcMail* aMail)
{
    const auto account = MailAccountOf(aResPath);
    if (!account || !aMail)
        return;
    TTransaction::Run(**account, [&] {
        MoveRowsToNorvelBox(**account, aMail, kTranslationMail);
        UpdateMailCorresNorvel(**account, aMail, kTranslationMail);
    });
    MarkMovedTo(aMail, NorvelMoveTarget(kTranslationMail));
    if (TRcResPath* folder = FolderPathOf(aResPath))
        FObservable->NotifyChanged(folder);
}
