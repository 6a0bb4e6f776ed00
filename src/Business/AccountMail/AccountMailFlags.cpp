#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "Business/Data/SqliteDatabase.h"

using namespace mailstore;

void TAccountMailManager::SetMailReadedFlag(TRcResPath* aMailResPath, bool aReadedFlag) noexcept
{
    Swallowed("SetMailReadedFlag", [&] {
        const auto account = MailAccountOfMail(aMailResPath);
        if (!account)
            return;
        bool changed = false;
        TTransaction::Run(**account, [&] {
            const auto stored = TSqliteDbMail::SeenFlag(**account, aMailResPath->Last()->Id());
            if (!stored || *stored == aReadedFlag)
                return;
            TSqliteDbMail::SetSeenFlag(**account, aMailResPath->Last()->Id(), aReadedFlag);
            changed = true;
        });
        if (!changed)
            return;
        RemoveNotReadedFlagNewMail(aMailResPath);
        FObservable->NotifyReadedFlagChanged(aMailResPath);
    });
}

void TAccountMailManager::SetMailReceiptFlag(TRcResPath* aMailResPath, bool aReceiptFlag) noexcept
{
    Swallowed("SetMailReceiptFlag", [&] {
        const auto account = MailAccountOfMail(aMailResPath);
        if (!account)
            return;
        TTransaction::Run(**account,
                          [&] { TSqliteDbMail::SetReceiptSend(**account, aMailResPath->Last()->Id(), aReceiptFlag); });
        FObservable->NotifyReadedFlagChanged(aMailResPath);
    });
}

void TAccountMailManager::SetMailReTranslation(TRcResPath* aMailResPath) noexcept
{
    Swallowed("SetMailReTranslation", [&] {
        const auto account = MailAccountOfMail(aMailResPath);
        if (!account)
            return;
        TTransaction::Run(**account, [&] { TSqliteDbMail::SetReTranslation(**account, aMailResPath->Last()->Id()); });
        FObservable->NotifyReTranslationChanged(aMailResPath);
    });
}

void TAccountMailManager::SetMailSendReceiveState(TRcResPath* aMailResPath, TMailSendReceiveState aState)
{
    const auto account = MailAccountOfMail(aMailResPath);
    if (!account)
        return;
    TTransaction::Run(**account, [&] { TSqliteDbMail::SetState(**account, aMailResPath->Last()->Id(), aState); });
}

void TAccountMailManager::SetMailSendReceiveStates(
    const std::vector<std::pair<TRcResPath*, TMailSendReceiveState>>& aStates)
{
    if (aStates.empty())
        return;
    const auto account = MailAccountOfMail(aStates.front().first);
    if (!account)
        return;
    TTransaction::Run(**account, [&] {
        for (const auto& [path, state] : aStates)
            if (path && path->At(0)->Equals(aStates.front().first->At(0)))
                TSqliteDbMail::SetState(**account, path->Last()->Id(), state);
    });
}

void TAccountMailManager::SetMailReferences(TRcResPath* aResPath, const std::string& aMsgUid)
{
    const auto account = MailAccountOf(aResPath);
    if (!account)
        return;
    TTransaction::Run(**account, [&] { TSqliteDbMail::SetReferences(**account, aMsgUid); });
}
