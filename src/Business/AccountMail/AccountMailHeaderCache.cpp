#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "Business/Data/Schema.h"
#include "Business/Data/SqliteDatabase.h"

using namespace mailstore;

void TAccountMailManager::CreateMailHeaderTabel(TRcResPath* aResPath)
{
    const auto account = MailAccountOf(aResPath);
    if (!account)
        return;
    TTransaction::Run(**account, [&] {
        if (!account->Db->TableExists("MailHeader"))
            account->Db->ExecSQL(schema::kMailHeader);
    });
}

void TAccountMailManager::ReplaceMailHeader(TRcResPath* aResPath, const std::string& aUid, TDateTime aData,
                                            const std::string& aFromAddress, const std::string& aSubject)
{
    const auto account = MailAccountOf(aResPath);
    if (!account)
        return;
    TTransaction::Run(**account, [&] {
        if (account->Db->TableExists("MailHeader"))
            TSqliteDbMail::SaveHeader(**account, {aUid, aData, aFromAddress, aSubject});
    });
}

void TAccountMailManager::ReplaceMailHeaders(TRcResPath* aResPath, const std::vector<TMailHeaderRow>& aRows)
{
    const auto account = MailAccountOf(aResPath);
    if (!account || aRows.empty())
        return;
    TTransaction::Run(**account, [&] {
        if (!account->Db->TableExists("MailHeader"))
            account->Db->ExecSQL(schema::kMailHeader);
        for (const TMailHeaderRow& row : aRows)
            TSqliteDbMail::SaveHeader(**account, row);
    });
}

bool TAccountMailManager::CheckMailHeaderByUid(TRcResPath* aResPath, TMailHeaderRow& aMsg,
                                                const std::string& aUid) noexcept
{
    bool found = false;
    Swallowed("CheckMailHeaderByUid", [&] {
        const auto account = MailAccountOf(aResPath);
        if (!account || !account->Db->TableExists("MailHeader"))
            return;
        if (auto row = TSqliteDbMail::LoadHeader(**account, aUid)) {
            aMsg = std::move(*row);
            found = true;
        }
    });
    return found;
}
