#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Mime/AddressList.h"
#include "Runtime/AsciiText.h"

#include <algorithm>
#include <limits>

using namespace mailstore;

namespace {

// The one address of a single-address list, lower-cased; nothing when the
// list holds none or several.
std::optional<std::string> SingleAddress(const std::string& aText)
{
    const auto items = ParseAddressList(aText);
    if (items.size() != 1)
        return std::nullopt;
    return AsciiLower(items.front().Address);
}

} // namespace

TRcResIdList* TAccountMailManager::GetMails(TRcResPath* aFolderResPath, const TGetMailsOpertion* aOpertion)
{
    // Streamed like a first screen without an end: no copy of every row.
    return GetFirstMails(aFolderResPath, aOpertion, std::numeric_limits<int>::max());
}

TRcResIdList* TAccountMailManager::GetFirstMails(TRcResPath* aFolderResPath, const TGetMailsOpertion* aOpertion,
                                                int aLimit)
{
    const auto folder = MailFolderOf(aFolderResPath);
    if (!folder)
        return nullptr;
    const TGetMailsOpertion* opertion = aOpertion ? aOpertion : FDefaultGetMailsOpertion.Get();
    const TMailFilter filter(opertion);
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    if (aLimit <= 0)
        return ids;
    // Identifiers first, objects after the query: the statement (and the
    // connection's lock) is held no longer than the rows take to read.
    std::vector<std::string> passed;
    TSqliteDbMail::ListFolderWhile(*folder->Account, folder->Code, opertion->FSortMode,
                                   [&](const TSqliteDbMail::TListRow& aRow) {
                                       if (filter.Passes(aRow.Subject, aRow.From, aRow.To))
                                           passed.push_back(aRow.Id);
                                       return static_cast<int>(passed.size()) < aLimit;
                                   },
                                   // A screenful without a search stops after that many rows.
                                   filter.Empty() && aLimit <= 1000);
    for (const std::string& id : passed)
        ids->Add(MailId(id));
    return ids;
}

int TAccountMailManager::GetNotReadedMailCount(TRcResPath* aFolderResPath, const TGetMailsOpertion* aOpertion)
{
    const auto folder = MailFolderOf(aFolderResPath);
    if (!folder)
        return 0;
    const TMailFilter filter(aOpertion);
    // Without a search text SQLite counts; reading every unread row of a
    // large folder only to count it costs a hundred times more.
    if (filter.Empty())
        return TSqliteDbMail::CountNotReaded(*folder->Account, folder->Code);
    const auto rows = TSqliteDbMail::ListNotReaded(*folder->Account, folder->Code);
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](const TSqliteDbMail::TListRow& aRow) {
        return filter.Passes(aRow.Subject, aRow.From, aRow.To);
    }));
}

TRcResIdList* TAccountMailManager::GetAllMails(TRcResPath* aResPath)
{
    const auto account = MailAccountOf(aResPath);
    return account ? MailIdList(TSqliteDbMail::AllIds(**account)) : nullptr;
}

TRcResPathList* TAccountMailManager::GetRelateMailsOfMail(TRcResPath* aMailResPath)
{
    TRcMail* mail = GetMail(aMailResPath);
    if (!mail)
        return nullptr;
    auto* related = TRcResPathList::CreateAndAutoRelease();
    related->Add(aMailResPath);
    const auto from = SingleAddress(mail->FFrom);
    const auto to = SingleAddress(mail->FTo);
    if (!from || !to)
        return related;
    const auto account = MailAccountOf(aMailResPath);
    // Parsing every row's lists is what costs: only rows that mention
    // both addresses can match, and SQLite finds those.
    for (const auto& row : TSqliteDbMail::ListPartiesMentioning(**account, *from, *to)) {
        if (row.Id == mail->ResId()->Id())
            continue;
        const auto rowFrom = SingleAddress(row.From);
        const auto rowTo = SingleAddress(row.To);
        if (!rowFrom || !rowTo)
            continue;
        if ((*rowFrom == *from && *rowTo == *to) || (*rowFrom == *to && *rowTo == *from))
            if (TRcResPath* folder = FolderPathOfCode(aMailResPath, row.FolderCode))
                related->Add(folder->Append(MailId(row.Id)));
    }
    return related;
}

TRcResPathList* TAccountMailManager::FolderMailsInStates(TRcResPath* aResPath, TAccountFolderType aFolder,
                                                         const TMailSendReceiveStates& aStates)
{
    const auto account = MailAccountOf(aResPath);
    TRcResPath* folder = account ? StandardFolder(aResPath, aFolder) : nullptr;
    if (!folder)
        return nullptr;
    auto* paths = TRcResPathList::CreateAndAutoRelease();
    for (TMailSendReceiveState state : aStates) {   // a set: ascending
        if (state == msarsNoneUser)
            continue;
        for (const auto& id : TSqliteDbMail::IdsInState(**account, *FolderCodeOf(aFolder), state))
            paths->Add(folder->Append(MailId(id)));
    }
    return paths;
}

TRcResPathList* TAccountMailManager::GetReceivingFolderMails(TRcResPath* aResPath,
                                                             const TMailSendReceiveStates& aStates)
{
    return FolderMailsInStates(aResPath, aftReceiving, aStates);
}

TRcResPathList* TAccountMailManager::GetSendingFolderMails(TRcResPath* aResPath, const TMailSendReceiveStates& aStates)
{
    return FolderMailsInStates(aResPath, aftSending, aStates);
}
