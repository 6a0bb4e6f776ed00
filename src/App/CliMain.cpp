// quillmar-cli: the command-line front end over the client's business
// layer, data folder and configuration. It holds the client's instance
// lock for its whole run, so the two never run a scheduler on one data
// folder at once.
//
// Exit codes scripts can rely on: 0 ok, 1 failed, 2 usage, 75 busy.
#include "InstanceLock.h"

#include "Business/Account/AccountManager.h"
#include "Business/Business.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/CommandLine.h"
#include "Runtime/Log.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitBusy = 75;

constexpr const char* kUsage =
    "usage: quillmar-cli VERB [OPTIONS]\n"
    "\n"
    "verbs:\n"
    "  accounts [--json]   the accounts of the data folder\n"
    "\n"
    "Each verb takes --help. Exit codes: 0 ok, 1 failed, 2 usage, 75 busy (the\n"
    "client or another quillmar-cli is running).\n";

constexpr const char* kAccountsUsage =
    "usage: quillmar-cli accounts [--json]\n"
    "\n"
    "Lists the accounts: address, name, POP3 and SMTP servers.\n";

// One clear line on standard error.
int Fail(int aCode, const std::string& aMessage)
{
    std::fprintf(stderr, "quillmar-cli: %s\n", aMessage.c_str());
    return aCode;
}

bool HasOption(const std::vector<std::string>& aArgs, const char* aOption)
{
    for (const std::string& arg : aArgs)
        if (arg == aOption)
            return true;
    return false;
}

// The options a verb does not know make a usage error.
bool OnlyOptions(const std::vector<std::string>& aArgs, std::initializer_list<const char*> aKnown, std::string& aBad)
{
    for (const std::string& arg : aArgs) {
        bool known = false;
        for (const char* option : aKnown)
            known = known || arg == option;
        if (!known) {
            aBad = arg;
            return false;
        }
    }
    return true;
}

int Accounts(const std::vector<std::string>& aArgs)
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!accounts)
        return Fail(kExitFailed, "the accounts cannot be read");
    const bool json = HasOption(aArgs, "--json");
    nlohmann::json list = nlohmann::json::array();
    for (TRcResId* id : *accounts->GetAccounts()) {
        TRcAccount* account = accounts->GetAccount(id);
        if (!account)
            continue;
        const TAccountSettings settings = account->Settings();
        const std::string pop3 = settings.FPop3Host + ":" + std::to_string(settings.FPop3Port);
        const std::string smtp = settings.FSmtpHost + ":" + std::to_string(settings.FSmtpPort);
        if (json)
            list.push_back({{"id", id->Id()},
                            {"address", settings.FEmail},
                            {"name", settings.FName},
                            {"pop3", pop3},
                            {"smtp", smtp}});
        else
            std::printf("%s\t%s\tPOP3 %s\tSMTP %s\n", settings.FEmail.c_str(), settings.FName.c_str(), pop3.c_str(),
                        smtp.c_str());
    }
    if (json)
        std::printf("%s\n", list.dump(2).c_str());
    return kExitOk;
}

struct TVerb {
    const char* Name;
    const char* Usage;
    std::initializer_list<const char*> Options;
    int (*Run)(const std::vector<std::string>& aArgs);
};

const TVerb kVerbs[] = {
    {"accounts", kAccountsUsage, {"--json"}, &Accounts},
};

int Run(int argc, char** argv)
{
    if (argc < 2)
        return Fail(kExitUsage, std::string("no verb given\n") + kUsage);
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    const TVerb* verb = nullptr;
    for (const TVerb& candidate : kVerbs)
        if (name == candidate.Name)
            verb = &candidate;
    if (!verb)
        return Fail(kExitUsage, "unknown verb \"" + name + "\"; quillmar-cli --help lists them");
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (HasOption(args, "--help")) {
        std::fputs(verb->Usage, stdout);
        return kExitOk;
    }
    std::string bad;
    if (!OnlyOptions(args, verb->Options, bad))
        return Fail(kExitUsage, "unknown option \"" + bad + "\" for " + name);

    TInstanceLock lock;
    if (!lock.Acquire("quillmar-cli")) {
        const std::string holder = TInstanceLock::Holder();
        return Fail(kExitBusy, "Quillmar is in use" + (holder.empty() ? std::string() : " by " + holder) +
                                   "; try again when it has finished");
    }
    TRetainCountObjectAutoReleasePool pool;
    TBusiness::Init();
    int code = kExitFailed;
    try {
        code = verb->Run(args);
    } catch (const std::exception& e) {
        code = Fail(kExitFailed, e.what());
    }
    TBusiness::UnInit();
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    SetProcessArguments(argc, argv);
    TLog::Start(ProcessArguments());
    int code = kExitFailed;
    try {
        code = Run(argc, argv);
    } catch (const std::exception& e) {
        code = Fail(kExitFailed, e.what());
    }
    TLog::Finish();
    return code;
}
