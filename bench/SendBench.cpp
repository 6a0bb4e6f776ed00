// Sending 1,000 mails to a local aiosmtpd sink: Quillmar's mass mailing
// (one draft split into a mail per recipient, then the SMTP job over one
// connection) beside swaks sending the same 1,000 messages one process
// each, and curl sending them over one connection (--next per message, so
// the recipients differ). Each tool runs as a process of its own; its wall
// time is measured from outside. Quillmar reports the split apart.
//
//   bench_send [--count N] [--swaks N] [--profile FILE]
//
// --profile records Quillmar's run with perf into FILE.
// --swaks N lets swaks send only the first N (it starts a process per
// message); its time is then given for N and scaled to the whole count.
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Business/Server/Mail/SendMessageToSmtpRunable.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"
#include "Support/SmtpServer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point aStart)
{
    return std::chrono::duration<double>(TClock::now() - aStart).count();
}

std::string Body()
{
    std::string html = "<html><body><p>Dear customer,</p>\r\n";
    while (html.size() < 4000)
        html += "<p>Our new catalogue: stainless steel screws, bolts and nuts, delivered within four weeks.</p>\r\n";
    return html + "</body></html>";
}

std::string Message(const std::string& aTo)
{
    return "From: Sender <sender@example.com>\r\nTo: " + aTo +
           "\r\nSubject: New catalogue\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" +
           Body() + "\r\n";
}

std::string Recipient(int aNumber)
{
    return "customer" + std::to_string(aNumber) + "@example.com";
}

// Runs a program to its end; its exit status.
int Run(const std::vector<std::string>& aArgs, const std::string& aOutput = "/dev/null")
{
    std::vector<char*> argv;
    for (const std::string& arg : aArgs)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, aOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return 127;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// The child: one draft to aCount recipients split and sent; prints the
// split's and the sending's seconds.
int SendAsQuillmar(int aPort, int aCount, const fs::path& aData)
{
    TRetainCountObjectAutoReleasePool pool;
    TAccountManagers managers(aData);
    auto account = TAccountManager::AccountManager()->CreateNewAccount();
    account->SetEmail("sender@example.com");
    account->SetSmtpHost("127.0.0.1");
    account->SetSmtpPort(aPort);
    account->SetSmtpUsePop3(false);
    account->SetSmtpUser("sender");
    account->SetSmtpPassword("bench");
    account->SetAutoReveiveSend(false);
    TAccountManager::AccountManager()->SaveAccount(account.Get());
    TRcResPath* accountPath = TRcResPath::CreateAndAutoRelease({account->ResId()});
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TRcResPath* drafts = TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(accountPath, aftDraft);

    std::string to;
    for (int i = 0; i < aCount; ++i)
        to += (i ? ", " : "") + Recipient(i);
    const fs::path file = aData / "mass.eml";
    std::ofstream(file, std::ios::binary) << Message(to);
    TRcResPath* draft = mails->ImportMailFromFile(drafts, file);

    auto start = TClock::now();
    mails->QueueMassMailing(draft);
    const double split = Seconds(start);

    auto observable = MakeRc<TRcMailSendReceiveObservable>();
    auto runable = MakeRc<TRcSendMessageToSmtpRunable>(1, accountPath, observable.Get());
    start = TClock::now();
    runable->Run();
    const double send = Seconds(start);
    std::printf("%d %.3f %.3f\n", runable->SentCount(), split, send);
    return observable->FHasErrorOccur ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--quillmar") == 0)
        return SendAsQuillmar(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    int count = 1000;
    int swaksCount = -1;
    std::string profile;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--count") == 0)
            count = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--swaks") == 0)
            swaksCount = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--profile") == 0)
            profile = argv[++i];
    }
    if (swaksCount < 0 || swaksCount > count)
        swaksCount = count;

    TSmtpTestServer smtp;
    smtp.AddUser("sender", "bench");
    const std::string port = std::to_string(smtp.PlainPort());
    const TScratchFolder messages("qm-bench-send");
    for (int i = 0; i < count; ++i)
        std::ofstream(messages.Path() / (std::to_string(i) + ".eml"), std::ios::binary) << Message(Recipient(i));
    std::printf("%d mails of %zu bytes to aiosmtpd on loopback\n", count, Message(Recipient(0)).size());

    // swaks: a process per message.
    auto start = TClock::now();
    int failures = 0;
    for (int i = 0; i < swaksCount; ++i)
        failures += Run({"swaks", "--silent", "2", "--server", "127.0.0.1:" + port, "--auth", "LOGIN",
                         "--auth-user", "sender", "--auth-password", "bench", "--from", "sender@example.com",
                         "--to", Recipient(i), "--data", "@" + (messages.Path() / (std::to_string(i) + ".eml")).string()}) != 0;
    const double swaksMeasured = Seconds(start);
    const double swaks = swaksCount > 0 ? swaksMeasured * count / swaksCount : 0;
    std::printf("  swaks     %8.3f s%s%s\n", swaks,
                swaksCount < count ? (" (" + std::to_string(swaksCount) + " measured: " +
                                      std::to_string(swaksMeasured) + " s)").c_str()
                                   : "",
                failures ? " FAILURES" : "");

    // curl: one process, one connection, --next per message.
    std::vector<std::string> curl = {"curl", "-s", "-S", "--user", "sender:bench"};
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            curl.push_back("--next");
        curl.insert(curl.end(), {"--user", "sender:bench", "--mail-from", "sender@example.com", "--mail-rcpt",
                                 Recipient(i), "--upload-file", (messages.Path() / (std::to_string(i) + ".eml")).string(),
                                 "smtp://127.0.0.1:" + port});
    }
    curl.erase(curl.begin() + 3, curl.begin() + 5);   // the first message carries its own --user
    start = TClock::now();
    const int curlStatus = Run(curl);
    const double curlSeconds = Seconds(start);
    std::printf("  curl      %8.3f s%s\n", curlSeconds, curlStatus ? " FAILED" : "");

    // Quillmar: the split, then the SMTP job.
    const TScratchFolder data("qm-bench-quillmar");
    const fs::path output = data.Path() / "times";
    start = TClock::now();
    std::vector<std::string> command = {(fs::read_symlink("/proc/self/exe")).string(), "--quillmar", port,
                                        std::to_string(count), data.Path().string()};
    if (!profile.empty())
        command.insert(command.begin(), {"perf", "record", "-q", "--call-graph", "dwarf,16384", "-F", "2000", "-o",
                                         profile});
    const int status = Run(command, output.string());
    const double quillmar = Seconds(start);
    int sent = 0;
    double split = 0, send = 0;
    if (FILE* times = std::fopen(output.c_str(), "r")) {
        if (std::fscanf(times, "%d %lf %lf", &sent, &split, &send) != 3)
            sent = -1;
        std::fclose(times);
    }
    std::printf("  quillmar  %8.3f s (split %.3f s, sending %.3f s, sent %d)%s\n", quillmar, split, send, sent,
                status ? " FAILED" : "");
    std::printf("  swaks / quillmar %.2f, curl / quillmar %.2f, curl / quillmar's sending %.2f\n", swaks / quillmar,
                curlSeconds / quillmar, curlSeconds / send);
    return 0;
}
