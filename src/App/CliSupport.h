// What the verbs of quillmar-cli share: exit codes, the parsed command
// line, errors as one line, accounts and folders named as a user types
// them, mails named by short handles, and waiting for a scheduler job.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Business/Account/AccountFolder.h"

class TRcResPath;
class TRcAccount;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitBusy = 75;

// A failure the user caused or can fix: one line, and its exit code.
class ECliError : public std::runtime_error {
public:
    ECliError(int aCode, const std::string& aMessage) : std::runtime_error(aMessage), FCode(aCode) {}
    int Code() const { return FCode; }

private:
    int FCode;
};

// The words after the verb: positional words, options that take a value
// (each may come more than once), and flags.
struct TCliArgs {
    std::vector<std::string> Words;
    std::multimap<std::string, std::string> Values;
    std::set<std::string> Flags;

    bool Has(const std::string& aFlag) const { return Flags.count(aFlag) > 0; }
    // The option's last value, or aDefault.
    std::string Value(const std::string& aOption, const std::string& aDefault = {}) const;
    std::vector<std::string> AllValues(const std::string& aOption) const;
};

// Raises ECliError (usage) on an option the verb does not know or a value
// missing.
TCliArgs ParseCliArgs(const std::vector<std::string>& aArgs, const std::set<std::string>& aValueOptions,
                      const std::set<std::string>& aFlags, std::size_t aMaxWords);

// A standard folder of the account; raises ECliError.
TRcResPath* Folder(TRcResPath* aAccount, TAccountFolderType aType);
// The account a verb works on: the one its first word names, else the only
// one; raises ECliError.
TRcResPath* OneAccount(const TCliArgs& aArgs);
// Addresses as typed ("Name <a@b>, c@d"), each one checked; raises
// ECliError.
struct TAddressItem;
std::vector<TAddressItem> Addresses(const std::vector<std::string>& aTexts);

// The account of an address (as typed, case ignored); raises ECliError.
TRcResPath* AccountByAddress(const std::string& aAddress);
// Every account, in the list's order (autoreleased paths).
std::vector<TRcResPath*> AllAccounts();
// "inbox", "sent", "drafts", "trash", "sending", "outbox", "receiving";
// raises ECliError for any other.
TAccountFolderType FolderTypeOfName(const std::string& aName);
const char* FolderNameOf(TAccountFolderType aType);

// The shortest prefix of aId, at least 6 characters, that no other id of
// aIds starts with.
std::string ShortHandle(const std::string& aId, const std::vector<std::string>& aIds);
// The mail a handle names, in whatever account and folder; raises
// ECliError when none or several match.
TRcResPath* MailByHandle(const std::string& aHandle);

// Runs a receive (or send) job for the account through the scheduler and
// waits for its end; the errors it reported. With aProgress: a progress
// bar on a terminal, the job's status lines on standard error otherwise.
std::vector<std::string> RunJob(TRcResPath* aAccount, bool aSend, bool aProgress);

// A mail written from the command line (--subject, --body or --html,
// --attach) from the account to the recipients, stored in the account's
// folder; its path.
TRcResPath* ComposeMail(const TCliArgs& aArgs, TRcResPath* aAccount, TAccountFolderType aFolder,
                        const std::vector<TAddressItem>& aTo, const std::vector<TAddressItem>& aCc,
                        const std::vector<TAddressItem>& aBcc);

// The password of a new account: from a file, from standard input, or
// asked for on the terminal without echo; never from the command line.
std::string ReadPassword(const TCliArgs& aArgs);
