// quillmar-demo: mail servers on loopback and a data folder whose account
// uses them, so a newcomer sees mail go round within minutes of cloning.
// Dovecot (POP3) and aiosmtpd (SMTP, delivering into Dovecot) run until
// Ctrl-C; the data folder stays, with its account pointed at this run's
// ports.
//
//   quillmar-demo DATA_FOLDER
#include "Business/Account/AccountManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/DovecotServer.h"
#include "Support/SmtpServer.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUser = "demo";
constexpr const char* kPassword = "demo";
constexpr const char* kAddress = "demo@example.com";

// The demo account, made or brought up to date with this run's ports.
void WriteAccount(const fs::path& aData, int aPop3Port, int aSmtpPort)
{
    TRetainCountObjectAutoReleasePool pool;
    TAccountManagers managers(aData);
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcRef<TRcAccount> account;
    for (TRcResId* id : *accounts->GetAccounts())
        if (TRcAccount* existing = accounts->GetAccount(id); existing && existing->Email() == kAddress)
            account = TRcRef<TRcAccount>::Retain(existing);
    if (!account) {
        account = accounts->CreateNewAccount();
        account->SetEmail(kAddress);
        account->SetName("Demo");
        account->SetAutoReveiveSend(false);
        account->SetAutoReveiveEarliestDate(0);
    }
    account->SetPop3Host("127.0.0.1");
    account->SetPop3Port(aPop3Port);
    account->SetPop3User(kUser);
    account->SetPop3Password(kPassword);
    account->SetSmtpHost("127.0.0.1");
    account->SetSmtpPort(aSmtpPort);
    account->SetSmtpUsePop3(true);
    accounts->SaveAccount(account.Get());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATA_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path data = fs::absolute(argv[1]);
    fs::create_directories(data);
    // Ctrl-C and kill are waited for, so the servers stop cleanly.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    try {
        TDovecotServer dovecot;
        dovecot.AddUser(kUser, kPassword);
        TSmtpTestServer smtp;
        smtp.AddUser(kUser, kPassword);
        smtp.SetScript(std::string(R"({"deliver": {")") + kAddress + R"(": ")" + dovecot.Maildir(kUser).string() +
                       R"("}})");
        WriteAccount(data, dovecot.PlainPort(), smtp.PlainPort());
        const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
        std::printf("Quillmar demo: POP3 on 127.0.0.1:%d, SMTP on 127.0.0.1:%d, account %s (password %s).\n"
                    "In another terminal:\n\n"
                    "  export QMC2FOLDER='%s'\n"
                    "  %s/quillmar-cli send --to %s --subject 'Hello' --body README.md\n"
                    "  %s/quillmar-cli receive\n"
                    "  %s/quillmar-cli list\n"
                    "  %s/quillmar-cli show HANDLE      (a handle that list printed)\n"
                    "  %s/quillmar                      (the client, with the same account)\n\n"
                    "Ctrl-C here stops the servers.\n",
                    dovecot.PlainPort(), smtp.PlainPort(), kAddress, kPassword, data.c_str(), bin.c_str(), kAddress,
                    bin.c_str(), bin.c_str(), bin.c_str(), bin.c_str());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stop, &signal);
        std::printf("\nStopping the demo servers.\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmar-demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
