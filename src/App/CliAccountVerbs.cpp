// quillmar-cli accounts, account add, account remove.
#include "CliSupport.h"
#include "CliVerbs.h"

#include "Business/Account/AccountManager.h"
#include "Business/Mime/AddressList.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

// "host:port"; raises ECliError.
std::pair<std::string, int> HostAndPort(const std::string& aText, const char* aWhat)
{
    const std::size_t colon = aText.rfind(':');
    int port = 0;
    if (colon == std::string::npos || colon == 0)
        throw ECliError(kExitUsage, std::string(aWhat) + " is HOST:PORT, not \"" + aText + "\"");
    try {
        port = std::stoi(aText.substr(colon + 1));
    } catch (const std::exception&) {
        port = 0;
    }
    if (port <= 0 || port > 65535)
        throw ECliError(kExitUsage, std::string(aWhat) + " has no valid port: \"" + aText + "\"");
    return {aText.substr(0, colon), port};
}

TTlsMode TlsModeOfName(const std::string& aName)
{
    if (aName == "none")
        return tlsmNone;
    if (aName == "starttls")
        return tlsmStartTls;
    if (aName == "implicit")
        return tlsmImplicit;
    throw ECliError(kExitUsage, "--tls is none, starttls or implicit, not \"" + aName + "\"");
}

int AccountAdd(const TCliArgs& aArgs)
{
    if (aArgs.Words.size() != 2)
        throw ECliError(kExitUsage, "account add ADDRESS --pop3 HOST:PORT --smtp HOST:PORT");
    const std::string address = aArgs.Words[1];
    if (!IsValidEmail(address) || address.find(' ') != std::string::npos)
        throw ECliError(kExitUsage, "not a mail address: \"" + address + "\"");
    if (!aArgs.Values.count("--pop3") || !aArgs.Values.count("--smtp"))
        throw ECliError(kExitUsage, "account add needs --pop3 HOST:PORT and --smtp HOST:PORT");
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (accounts->AccountExistsByEmail(address))
        throw ECliError(kExitFailed, "there is an account \"" + address + "\" already");
    const auto [pop3Host, pop3Port] = HostAndPort(aArgs.Value("--pop3"), "--pop3");
    const auto [smtpHost, smtpPort] = HostAndPort(aArgs.Value("--smtp"), "--smtp");
    const std::string user = aArgs.Value("--user", address);
    const std::string password = ReadPassword(aArgs);

    auto account = accounts->CreateNewAccount();
    account->SetEmail(address);
    account->SetName(aArgs.Value("--name", address));
    account->SetPop3Host(pop3Host);
    account->SetPop3Port(pop3Port);
    account->SetPop3User(user);
    account->SetPop3Password(password);
    account->SetSmtpHost(smtpHost);
    account->SetSmtpPort(smtpPort);
    account->SetSmtpUsePop3(true);
    if (aArgs.Values.count("--tls")) {
        const TTlsMode mode = TlsModeOfName(aArgs.Value("--tls"));
        account->SetPop3TlsMode(mode);
        account->SetSmtpTlsMode(mode);
        account->SetPop3UseSsl(mode != tlsmNone);
        account->SetSmtpUseSsl(mode != tlsmNone);
    }
    // Mail is received and sent when the user says so.
    account->SetAutoReveiveSend(false);
    account->SetAutoReveiveEarliestDate(0);
    accounts->SaveAccount(account.Get());
    std::printf("%s\n", address.c_str());
    return kExitOk;
}

int AccountRemove(const TCliArgs& aArgs)
{
    if (aArgs.Words.size() != 2)
        throw ECliError(kExitUsage, "account remove ADDRESS");
    TRcResPath* account = AccountByAddress(aArgs.Words[1]);
    TAccountManager::AccountManager()->DeleteAccount(account->At(0));
    return kExitOk;
}

} // namespace

int VerbAccounts(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(aArgs, {}, {"--json"}, 0);
    TAccountManager* accounts = TAccountManager::AccountManager();
    nlohmann::json list = nlohmann::json::array();
    for (TRcResPath* path : AllAccounts()) {
        TRcAccount* account = accounts->GetAccount(path);
        if (!account)
            continue;
        const TAccountSettings settings = account->Settings();
        const std::string pop3 = settings.FPop3Host + ":" + std::to_string(settings.FPop3Port);
        const std::string smtp = settings.FSmtpHost + ":" + std::to_string(settings.FSmtpPort);
        if (args.Has("--json"))
            list.push_back({{"address", settings.FEmail}, {"name", settings.FName}, {"pop3", pop3}, {"smtp", smtp}});
        else
            std::printf("%s\t%s\tPOP3 %s\tSMTP %s\n", settings.FEmail.c_str(), settings.FName.c_str(), pop3.c_str(),
                        smtp.c_str());
    }
    if (args.Has("--json"))
        std::printf("%s\n", list.dump(2).c_str());
    return kExitOk;
}

int VerbAccount(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(aArgs, {"--pop3", "--smtp", "--tls", "--user", "--name", "--password-file"},
                                       {"--password-stdin"}, 2);
    const std::string action = args.Words.empty() ? "" : args.Words[0];
    if (action == "add")
        return AccountAdd(args);
    if (action == "remove")
        return AccountRemove(args);
    throw ECliError(kExitUsage, "account add|remove ADDRESS …");
}
