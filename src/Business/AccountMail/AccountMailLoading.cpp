#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "MailConversationHooks.h"
#include "Business/Data/SqliteDatabase.h"

using namespace mailstore;

TRcMail* TAccountMailManager::GetMail(TRcResPath* aMailResPath)
{
    if (!IsMailPath(aMailResPath))
        return nullptr;
    const auto account = MailAccountOf(aMailResPath);
    if (!account || !TSqliteDbMail::Exists(**account, aMailResPath->Last()->Id()))
        return nullptr;
    return TRcMail::CreateAndAutoRelease(aMailResPath->Last(), account->Db);
}

TRcMail* TAccountMailManager::GetMailForConversationItem(TRcResPath* aResPath)
{
    const auto account = MailAccountOf(aResPath);
    if (!account)
        return nullptr;
    const std::string id = ConversationItemMailId(aResPath);
    if (id.empty() || !TSqliteDbMail::Exists(**account, id))
        return nullptr;
    return TRcMail::CreateAndAutoRelease(MailId(id), account->Db);
}

TRcMail* TAccountMailManager::GetMailForUid(TRcResPath* aResPath, const std::string& aUid) noexcept
{
    TRcMail* mail = nullptr;
    Swallowed("GetMailForUid", [&] {
        const auto account = MailAccountOf(aResPath);
        if (!account)
            return;
        const std::string id = TSqliteDbMail::IdOfUid(**account, aUid);
        if (!id.empty())
            mail = TRcMail::CreateAndAutoRelease(MailId(id), account->Db);
    });
    return mail;
}

bool TAccountMailManager::UidExists(TRcResPath* aResPath, const std::string& aUid) noexcept
{
    bool exists = false;
    Swallowed("UidExists", [&] {
        if (const auto account = MailAccountOf(aResPath))
            exists = !TSqliteDbMail::IdOfUid(**account, aUid).empty();
    });
    return exists;
}

bool TAccountMailManager::CheckSourceMail(TRcResPath* aResPath, const std::string& aMailId)
{
    const auto account = MailAccountOf(aResPath);
    return account && TSqliteDbMail::Exists(**account, aMailId);
}
