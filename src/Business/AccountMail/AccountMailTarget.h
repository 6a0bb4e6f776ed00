// What a path given to the account mail manager names, worked out once per
// call: the account's open database (the record held for the call, so a
// delete on another thread cannot free it underneath) and, for a folder,
// its type and stored code. Shared by the manager's files only.
#pragma once

#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountForSqlite.h"
#include "Mail.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/Log.h"
#include "Runtime/RcRef.h"

class TSQLiteDatabase;

namespace mailstore {

// The folder code of a mail that is gone (its row stays, marked so).
inline constexpr int kRemovedCode = 0;
// The language of a mail nobody has set one for.
inline constexpr int kUnknownLanguage = 9997;

// Where an account keeps the files of its stored mails.
std::filesystem::path MailsFolderOf(const TRcResId* aAccountId);

struct TMailAccount {
    TRcRef<TRcAccountForSqlite> Account;
    TSQLiteDatabase* Db = nullptr;
    TRcResId* AccountId = nullptr;

    TSQLiteDatabase& operator*() const { return *Db; }
    std::filesystem::path MailsPath() const { return MailsFolderOf(AccountId); }
};

// The account a path starts with, when it has an open database.
std::optional<TMailAccount> MailAccountOf(const TRcResPath* aPath);

struct TMailFolder {
    TMailAccount Account;
    TAccountFolderType Type;
    int Code;
};

// A [account, folder] path whose folder has a stored code.
std::optional<TMailFolder> MailFolderOf(const TRcResPath* aFolderPath);

// [account, folder, mail].
bool IsMailPath(const TRcResPath* aPath);
// The account of a mail path, when the path has that shape.
std::optional<TMailAccount> MailAccountOfMail(const TRcResPath* aMailPath);

TRcResPath* StandardFolder(TRcResPath* aPath, TAccountFolderType aType);
TRcResPath* FolderPathOfCode(TRcResPath* aPath, int aCode);

TRcResId* MailId(const std::string& aId);

// After a committed move of aMail's own row: a later save of the same
// object compares with the folder it is in now.
void MarkMovedTo(TRcMail* aMail, int aFolderCode);
TRcResIdList* MailIdList(const std::vector<std::string>& aIds);

// Runs aWork; an error is logged as "aWhat 失败：…" and goes no further.
// For the calls that must never raise.
template <class F>
void Swallowed(const char* aWhat, F&& aWork) noexcept
{
    try {
        aWork();
    } catch (const std::exception& e) {
        TLog::O(lolError, "%s 失败：%s", {aWhat, e.what()});
    } catch (...) {
        TLog::O(lolError, "%s 失败", {aWhat});
    }
}

} // namespace mailstore
