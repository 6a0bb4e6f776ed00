#include "CliSupport.h"

#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Server/MailSendReceiveObserver.h"
#include "Business/Mime/AddressList.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AsciiText.h"

#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>

std::string TCliArgs::Value(const std::string& aOption, const std::string& aDefault) const
{
    const auto range = Values.equal_range(aOption);
    std::string value = aDefault;
    for (auto it = range.first; it != range.second; ++it)
        value = it->second;
    return value;
}

std::vector<std::string> TCliArgs::AllValues(const std::string& aOption) const
{
    std::vector<std::string> values;
    const auto range = Values.equal_range(aOption);
    for (auto it = range.first; it != range.second; ++it)
        values.push_back(it->second);
    return values;
}

TCliArgs ParseCliArgs(const std::vector<std::string>& aArgs, const std::set<std::string>& aValueOptions,
                      const std::set<std::string>& aFlags, std::size_t aMaxWords)
{
    TCliArgs parsed;
    for (std::size_t i = 0; i < aArgs.size(); ++i) {
        const std::string& arg = aArgs[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            if (aFlags.count(arg)) {
                parsed.Flags.insert(arg);
            } else if (aValueOptions.count(arg)) {
                if (i + 1 >= aArgs.size())
                    throw ECliError(kExitUsage, arg + " needs a value");
                parsed.Values.emplace(arg, aArgs[++i]);
            } else {
                throw ECliError(kExitUsage, "unknown option \"" + arg + "\"");
            }
        } else {
            parsed.Words.push_back(arg);
        }
    }
    if (parsed.Words.size() > aMaxWords)
        throw ECliError(kExitUsage, "too many words: \"" + parsed.Words[aMaxWords] + "\"");
    return parsed;
}

std::vector<TRcResPath*> AllAccounts()
{
    std::vector<TRcResPath*> paths;
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!accounts)
        return paths;
    for (TRcResId* id : *accounts->GetAccounts())
        paths.push_back(TRcResPath::CreateAndAutoRelease({id}));
    return paths;
}

TRcResPath* AccountByAddress(const std::string& aAddress)
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    for (TRcResPath* path : AllAccounts())
        if (TRcAccount* account = accounts->GetAccount(path); account && SameTextAscii(account->Email(), aAddress))
            return path;
    throw ECliError(kExitFailed, "no account \"" + aAddress + "\"; quillmar-cli accounts lists them");
}

namespace {

struct TFolderName {
    const char* Name;
    TAccountFolderType Type;
};
constexpr TFolderName kFolderNames[] = {
    {"inbox", aftInBox},   {"sent", aftOutBox},      {"drafts", aftDraft},         {"trash", aftThrashBag},
    {"sending", aftSending}, {"outbox", aftOutBox}, {"receiving", aftReceiving},
};

} // namespace

TAccountFolderType FolderTypeOfName(const std::string& aName)
{
    for (const TFolderName& folder : kFolderNames)
        if (SameTextAscii(aName, folder.Name))
            return folder.Type;
    throw ECliError(kExitUsage, "no folder \"" + aName + "\" (inbox, sent, drafts, trash, sending)");
}

const char* FolderNameOf(TAccountFolderType aType)
{
    for (const TFolderName& folder : kFolderNames)
        if (folder.Type == aType)
            return folder.Name;
    return "?";
}

std::string ShortHandle(const std::string& aId, const std::vector<std::string>& aIds)
{
    std::size_t length = 6;
    for (const std::string& other : aIds) {
        if (other == aId)
            continue;
        std::size_t common = 0;
        while (common < aId.size() && common < other.size() && aId[common] == other[common])
            ++common;
        length = std::max(length, common + 1);
    }
    return aId.substr(0, std::min(length, aId.size()));
}

TRcResPath* MailByHandle(const std::string& aHandle)
{
    if (aHandle.size() < 6)
        throw ECliError(kExitUsage, "a mail handle has at least 6 characters: \"" + aHandle + "\"");
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* found = nullptr;
    int matches = 0;
    for (TRcResPath* account : AllAccounts()) {
        TRcResIdList* ids = mails->GetAllMails(account);
        if (!ids)
            continue;
        for (TRcResId* id : *ids) {
            if (AsciiLower(id->Id()).rfind(AsciiLower(aHandle), 0) != 0)
                continue;
            // The folder it is in now.
            for (TAccountFolderType type : {aftInBox, aftOutBox, aftDraft, aftThrashBag, aftSending, aftReceiving}) {
                TRcResPath* folder = folders->GetStandardFolderResPath(account, type);
                TRcResIdList* inFolder = folder ? mails->GetMails(folder) : nullptr;
                if (inFolder && inFolder->IndexOf(id) >= 0) {
                    found = folder->Append(id);
                    ++matches;
                    break;
                }
            }
        }
    }
    if (matches == 0)
        throw ECliError(kExitFailed, "no mail \"" + aHandle + "\"");
    if (matches > 1)
        throw ECliError(kExitFailed, "\"" + aHandle + "\" names more than one mail; give more of it");
    return found;
}

namespace {

// Waits for the end of the job and keeps its errors. On a terminal it
// draws a progress bar on one line; otherwise it writes the job's status
// lines, one per line; with neither asked for, it is silent.
class TJobWatcher : public TRcObject, public IMailSendReciveObserver {
public:
    TJobWatcher(bool aBar, bool aLines) : FBar(aBar), FLines(aLines) {}
    void ProcessBegin() override {}
    void ProcessEnd() override {}
    void TaskBegin(int, const std::string&) override {}
    void TaskEnd(int) override
    {
        std::lock_guard lock(FMutex);
        if (FBar && FDrawn)
            std::fprintf(stderr, "\n");
        FEnded = true;
        FChanged.notify_all();
    }
    void ActivityBegin(int, const std::string&, TRcResId*) override {}
    void ActivityEnd(int) override {}
    void MailSwitch(int, int aCount, TMailSwitchKind, int aIndex) override
    {
        std::lock_guard lock(FMutex);
        FCount = aCount;
        FIndex = aIndex;
        FCurr = FMax = 0;
        Draw();
    }
    void MailUpdateDesc(int, const std::string&) override {}
    void MailProgress(int, const std::string& aMessage, int64_t aCurr, int64_t aMax) override
    {
        if (!aMessage.empty())
            return;   // header reads
        std::lock_guard lock(FMutex);
        FCurr = aCurr;
        FMax = aMax;
        Draw();
    }
    void TaskUpdateInfo(int, const std::string& aMessage) override
    {
        if (FLines)
            std::fprintf(stderr, "%s\n", aMessage.c_str());
    }
    void TaskUpdateSubject(int, const std::string&, const std::string&) override {}
    void TaskOccurError(int, const std::string& aMessage) override { OccurError(aMessage); }
    void OccurError(const std::string& aMessage) override
    {
        std::lock_guard lock(FMutex);
        FErrors.push_back(aMessage);
    }
    std::vector<std::string> Wait()
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return FEnded; });
        return FErrors;
    }

private:
    // "mail 3/10 [#########...........]  45%", redrawn in place.
    void Draw()
    {
        if (!FBar || FCount <= 0)
            return;
        constexpr int kWidth = 30;
        const double part = FMax > 0 ? static_cast<double>(FCurr) / static_cast<double>(FMax) : 0.0;
        const double done = (FIndex - 1 + part) / FCount;
        const int filled = static_cast<int>(done * kWidth + 0.5);
        std::fprintf(stderr, "\rmail %d/%d [%s%s] %3d%%", FIndex, FCount, std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '.').c_str(), static_cast<int>(done * 100 + 0.5));
        std::fflush(stderr);
        FDrawn = true;
    }

    const bool FBar;
    const bool FLines;
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FEnded = false;
    bool FDrawn = false;
    int FCount = 0;
    int FIndex = 0;
    int64_t FCurr = 0;
    int64_t FMax = 0;
    std::vector<std::string> FErrors;
};

} // namespace

std::vector<std::string> RunJob(TRcResPath* aAccount, bool aSend, bool aProgress)
{
    const bool terminal = ::isatty(2);
    TServerDriver* driver = TServerDriver::ServerDriver();
    if (!driver)
        throw ECliError(kExitFailed, "the mail scheduler is not running");
    auto watcher = MakeRc<TJobWatcher>(aProgress && terminal, aProgress && !terminal);
    driver->RegisterObserver(watcher.Get());
    if (aSend)
        driver->PrioritySend(aAccount);
    else
        driver->PriorityReceive(aAccount);
    std::vector<std::string> errors = watcher->Wait();
    driver->UnRegisterObserver(watcher.Get());
    return errors;
}

std::string ReadPassword(const TCliArgs& aArgs)
{
    std::string password;
    if (aArgs.Values.count("--password-file")) {
        std::ifstream in(aArgs.Value("--password-file"));
        if (!in)
            throw ECliError(kExitFailed, "cannot read " + aArgs.Value("--password-file"));
        std::getline(in, password);
    } else if (aArgs.Has("--password-stdin") || !::isatty(0)) {
        std::getline(std::cin, password);
    } else {
        std::fprintf(stderr, "Password: ");
        termios old{};
        const bool terminal = ::tcgetattr(0, &old) == 0;
        if (terminal) {
            termios quiet = old;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(0, TCSANOW, &quiet);
        }
        std::getline(std::cin, password);
        if (terminal)
            ::tcsetattr(0, TCSANOW, &old);
        std::fprintf(stderr, "\n");
    }
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return password;
}

TRcResPath* Folder(TRcResPath* aAccount, TAccountFolderType aType)
{
    TRcResPath* folder = TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(aAccount, aType);
    if (!folder)
        throw ECliError(kExitFailed, "the account has no such folder");
    return folder;
}

TRcResPath* OneAccount(const TCliArgs& aArgs)
{
    if (!aArgs.Words.empty())
        return AccountByAddress(aArgs.Words[0]);
    const auto accounts = AllAccounts();
    if (accounts.size() != 1)
        throw ECliError(kExitUsage, accounts.empty() ? "no account; add one with quillmar-cli account add"
                                                     : "more than one account: name it");
    return accounts.front();
}

// Addresses as typed, each one checked.
std::vector<TAddressItem> Addresses(const std::vector<std::string>& aTexts)
{
    std::vector<TAddressItem> items;
    for (const std::string& text : aTexts) {
        std::vector<TAddressItem> parsed = ParseAddressList(text);
        if (parsed.empty())
            throw ECliError(kExitUsage, "not a mail address: \"" + text + "\"");
        for (TAddressItem& item : parsed) {
            if (item.Address.empty() || !IsValidEmail(item.Address) || item.Address.find(' ') != std::string::npos)
                throw ECliError(kExitUsage, "not a mail address: \"" + text + "\"");
            items.push_back(std::move(item));
        }
    }
    return items;
}

