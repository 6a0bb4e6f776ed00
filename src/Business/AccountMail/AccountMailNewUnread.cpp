#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "Business/Data/SqliteDatabase.h"

using namespace mailstore;

void TAccountMailManager::AddNotReadedFlagNewMail(TRcResPathList* aMailResPaths)
{
    if (!aMailResPaths)
        return;
    bool changed = false;
    {
        std::lock_guard lock(FNotReadedMutex);
        for (TRcResPath* path : *aMailResPaths)
            if (FNotReadedNewReceiveMailList->IndexOf(path) < 0) {
                FNotReadedNewReceiveMailList->Add(path);
                changed = true;
            }
    }
    if (changed)
        FObservable->NotifyNotReadedNewReceiveMailListChanged();
}

void TAccountMailManager::RemoveNotReadedFlagNewMail(TRcResPath* aMailResPath)
{
    bool changed = false;
    {
        std::lock_guard lock(FNotReadedMutex);
        changed = FNotReadedNewReceiveMailList->Remove(aMailResPath) >= 0;
    }
    if (changed)
        FObservable->NotifyNotReadedNewReceiveMailListChanged();
}

int TAccountMailManager::NotReadedFlagNewMailCount()
{
    std::lock_guard lock(FNotReadedMutex);
    return FNotReadedNewReceiveMailList->Count();
}

TRcResPathList* TAccountMailManager::NotReadedFlagNewMails()
{
    auto* copy = TRcResPathList::CreateAndAutoRelease();
    std::lock_guard lock(FNotReadedMutex);
    copy->AddList(FNotReadedNewReceiveMailList.Get());
    return copy;
}
