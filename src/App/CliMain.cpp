// quillmar-cli: the command-line front end over the client's business
// layer, data folder and configuration. It holds the client's instance
// lock for its whole run, so the two never run a scheduler on one data
// folder at once.
//
// Exit codes scripts can rely on: 0 ok, 1 failed, 2 usage, 75 busy.
#include "CliSupport.h"
#include "CliVerbs.h"
#include "InstanceLock.h"

#include "Business/Business.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/CommandLine.h"
#include "Runtime/Log.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: quillmar-cli VERB [OPTIONS]\n"
    "\n"
    "verbs:\n"
    "  accounts [--json]                         the accounts of the data folder\n"
    "  account add ADDRESS --pop3 HOST:PORT --smtp HOST:PORT [--tls none|starttls|implicit]\n"
    "              [--user USER] [--name NAME] [--password-file FILE | --password-stdin]\n"
    "  account remove ADDRESS\n"
    "  receive [ACCOUNT] [--json] [--quiet]      receive now, and wait\n"
    "  send [ACCOUNT] --to ADDRESS… [--cc …] [--bcc …] --subject TEXT [--body FILE | --html FILE]\n"
    "              [--attach FILE…] [--json] [--quiet]  send now, and wait (--translate LANG needs the\n"
    "                                            translation service)\n"
    "  list [ACCOUNT] [--folder inbox|sent|drafts|trash|sending] [--sort date|subject|size|unread]\n"
    "              [--search TEXT] [--json]      the mails of a folder, with their handles\n"
    "  show MAIL [--json]                        one mail, named by its handle\n"
    "  mass-send [ACCOUNT] --recipients FILE --subject TEXT [--body FILE | --html FILE] [--attach FILE…]\n"
    "              [--pause SECONDS] [--per-hour N]  one mail per recipient (one address per line)\n"
    "  mass-send [ACCOUNT] --resume [--pause SECONDS] [--per-hour N]\n"
    "                                            go on with an interrupted mass mailing\n"
    "  export MAIL FILE.eml [--force]            the mail as a message file\n"
    "  import FOLDER FILE… [--account ADDRESS] [--json]\n"
    "                                            message files into a folder\n"
    "\n"
    "ACCOUNT is an account's address; it may be left out when there is one account.\n"
    "receive and send show a progress bar on a terminal and their status lines\n"
    "otherwise, on standard error (--quiet: neither).\n"
    "Each verb takes --help. Exit codes: 0 ok, 1 failed, 2 usage, 75 busy (the\n"
    "client or another quillmar-cli is running).\n";

// One clear line on standard error.
int Fail(int aCode, const std::string& aMessage)
{
    std::fprintf(stderr, "quillmar-cli: %s\n", aMessage.c_str());
    return aCode;
}

struct TVerb {
    const char* Name;
    int (*Run)(const TCliWords& aArgs);
};

const TVerb kVerbs[] = {
    {"accounts", &VerbAccounts}, {"account", &VerbAccount}, {"receive", &VerbReceive},
    {"send", &VerbSend},         {"list", &VerbList},       {"show", &VerbShow},
    {"export", &VerbExport},     {"import", &VerbImport},   {"mass-send", &VerbMassSend},
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
    const TCliWords args(argv + 2, argv + argc);
    for (const std::string& arg : args)
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }

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
        TRetainCountObjectAutoReleasePool verbPool;
        code = verb->Run(args);
    } catch (const ECliError& e) {
        code = Fail(e.Code(), e.what());
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
