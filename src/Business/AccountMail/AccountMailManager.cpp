#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "Business/Account/AccountManager.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Mime/AddressList.h"
#include "Business/Mime/MailContact.h"

using namespace mailstore;

TAccountMailManager::TAccountMailManager()
    : FDefaultGetMailsOpertion(MakeRc<TGetMailsOpertion>()), FObservable(MakeRc<TAccountMailObservable>()),
      FNotReadedNewReceiveMailList(MakeRc<TRcResPathList>())
{
}

TAccountMailManager::~TAccountMailManager() = default;

void TAccountMailManager::GetMailContactList(TRcResPath* aFolderResPath, TRcMailContactList* aMailContactList)
{
    const auto folder = MailFolderOf(aFolderResPath);
    if (!folder || !aMailContactList)
        return;
    for (const auto& row : TSqliteDbMail::ListParties(*folder->Account))
        for (const std::string* text : {&row.From, &row.To})
            for (const auto& item : ParseAddressList(*text))
                if (!item.Name.empty() || !item.Address.empty())
                    aMailContactList->Add(TRcMailContact::CreateAndAutoRelease(item.Name, item.Address));
}

void TAccountMailManager::SweepMailFiles()
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!accounts)
        return;
    for (TRcResId* id : *accounts->GetAccounts()) {
        try {
            auto* record = dynamic_cast<TRcAccountForSqlite*>(accounts->GetAccount(id));
            if (!record || !record->GetDb())
                continue;
            const int removed = TSqliteDbMail::SweepMailFiles(*record->GetDb(), MailsFolderOf(id));
            if (removed > 0)
                TLog::O(lolInfo, "已清理账户 %s 的 %s 个无主邮件文件", {id->Id(), std::to_string(removed)});
        } catch (const std::exception& e) {
            TLog::O(lolWorn, "清理账户 %s 的邮件文件失败：%s", {id->Id(), e.what()});
        }
    }
}
