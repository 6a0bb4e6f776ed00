// Receiving a mailbox from a local Dovecot: Quillmar's POP3 receive (each
// message streamed, taken apart, its parts stored, zipped where large, and
// synced, its rows committed) beside curl downloading the same mailbox in
// one login into raw files, and fetchmail handing each message to a
// Maildir delivery agent (keep, uidl, no stripcr).
//
// Two mailboxes: 1,000 messages of about 20 KB (an HTML body and a small
// attachment) and 20 of about 5 MB (one attachment each, every other one a
// JPEG, which is stored as it is, the rest zipped). Each tool runs as a
// process of its own on a fresh folder; its wall time and peak memory
// (maximum resident set) are measured from outside. Quillmar also reports
// where its time went.
//
//   bench_receive [--small N] [--large N] [--profile FOLDER]
//
// --profile records Quillmar's runs with perf into FOLDER (small.data,
// large.data).
#include "Business/Account/AccountManager.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Business/Server/Mail/ReceiveMessageFromPop3Runable.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/DateTime.h"
#include "Support/AccountManagers.h"
#include "Support/DovecotServer.h"
#include "Support/ScratchFolder.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "bench";

std::string Base64Lines(std::size_t aBytes, unsigned aSeed)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 random(aSeed);
    std::string text;
    const std::size_t length = (aBytes + 2) / 3 * 4;
    text.reserve(length + length / 76 * 2 + 2);
    for (std::size_t i = 0; i < length; ++i) {
        text.push_back(kAlphabet[random() % 64]);
        if (i % 76 == 75)
            text += "\r\n";
    }
    return text + "\r\n";
}

std::string Message(int aNumber, std::size_t aAttachment, const std::string& aName, const std::string& aType)
{
    std::string html = "<html><body><p>Dear buyer,</p><p>please find our offer number " + std::to_string(aNumber) +
                       " attached.</p>";
    while (html.size() < 3000)
        html += "<p>Stainless steel screws, M6 x 40, 10,000 pieces, delivery within four weeks.</p>";
    html += "</body></html>";
    return "From: Buyer <buyer@example.com>\r\nTo: seller@example.com\r\nSubject: Offer " + std::to_string(aNumber) +
           "\r\nDate: Mon, 2 Dec 2024 10:00:00 +0000\r\nMessage-ID: <" + std::to_string(aNumber) +
           "@bench.example.com>\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" + html + "\r\n"
           "--b\r\nContent-Type: " + aType + "; name=\"" + aName + "\"\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"" + aName + "\"\r\n\r\n" +
           Base64Lines(aAttachment, static_cast<unsigned>(aNumber)) + "--b--\r\n";
}

struct TRun {
    double Seconds = 0;
    long PeakKb = 0;
    int Status = 0;
    std::string Output;
};

// Runs a program to its end; its wall time, peak memory and output. The
// peak comes from GNU time, which forks a small process to run it: the
// maximum resident set of a child spawned from this one would start at
// this process's own size.
TRun Run(std::vector<std::string> aArgs, const std::vector<std::string>& aEnvironment = {})
{
    const TScratchFolder timeFolder("qm-bench-time");
    const fs::path peakFile = timeFolder.Path() / "peak";
    aArgs.insert(aArgs.begin(), {"/usr/bin/time", "-f", "%M", "-o", peakFile.string()});
    std::vector<char*> argv;
    for (const std::string& arg : aArgs)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    environment.insert(environment.end(), aEnvironment.begin(), aEnvironment.end());
    std::vector<char*> envp;
    for (const std::string& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (error != 0)
        throw std::runtime_error("cannot run " + aArgs[0]);
    TRun run;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        run.Output.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream peak(peakFile);
    peak >> run.PeakKb;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    return run;
}

fs::path SelfFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path();
}

// The child: one receive into a fresh data folder; prints its split.
int ReceiveAsQuillmar(int aPort, const std::string& aUser, const fs::path& aData)
{
    TRetainCountObjectAutoReleasePool pool;
    TAccountManagers managers(aData);
    auto account = TAccountManager::AccountManager()->CreateNewAccount();
    account->SetEmail(aUser + "@example.com");
    account->SetPop3Host("127.0.0.1");
    account->SetPop3Port(aPort);
    account->SetPop3User(aUser);
    account->SetPop3Password(kPassword);
    account->SetAutoReveiveSend(false);
    TAccountManager::AccountManager()->SaveAccount(account.Get());
    auto observable = MakeRc<TRcMailSendReceiveObservable>();
    auto runable = MakeRc<TRcReceiveMessageFromPop3Runable>(
        1, TRcResPath::CreateAndAutoRelease({account->ResId()}), prmPop3NoTranslate, 0, EncodeDateTime({2100, 1, 1}),
        observable.Get());
    runable->Run();
    const auto& times = runable->Times();
    std::printf("%d %.3f %.3f %.3f %.3f %.3f %.3f\n", runable->RetrCount(), times.Select, times.Transfer, times.Parse,
                times.Archive, times.Sync, times.Commit);
    return observable->FHasErrorOccur ? 1 : 0;
}

int Count(const fs::path& aFolder)
{
    int count = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator(aFolder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        ++count;
    return count;
}

struct TSet {
    std::string Name;
    std::string User;
    int Count;
    double Megabytes = 0;
};

void Report(const char* aTool, const TSet& aSet, const TRun& aRun, const std::string& aNote = {})
{
    std::printf("  %-10s %8.3f s %8.1f MB/s  peak %7.1f MB  %s\n", aTool, aRun.Seconds, aSet.Megabytes / aRun.Seconds,
                aRun.PeakKb / 1024.0, aNote.c_str());
}

std::string gProfileFolder;

void Compare(const TSet& aSet, const TDovecotServer& aDovecot)
{
    std::printf("%s: %d messages, %.1f MB\n", aSet.Name.c_str(), aSet.Count, aSet.Megabytes);
    const std::string port = std::to_string(aDovecot.PlainPort());

    const TScratchFolder curlFolder("qm-bench-curl");
    const TRun curl = Run({"curl", "-s", "-S", "--user", aSet.User + ":" + kPassword,
                           "pop3://127.0.0.1:" + port + "/[1-" + std::to_string(aSet.Count) + "]", "-o",
                           (curlFolder.Path() / "#1.eml").string()});
    Report("curl", aSet, curl, Count(curlFolder.Path()) == aSet.Count ? "" : "INCOMPLETE");

    const TScratchFolder fetchFolder("qm-bench-fetchmail");
    const fs::path maildir = fetchFolder.Path() / "Maildir";
    for (const char* sub : {"tmp", "new", "cur"})
        fs::create_directories(maildir / sub);
    const fs::path rc = fetchFolder.Path() / "fetchmailrc";
    {
        std::ofstream out(rc);
        out << "set no bouncemail\nset invisible\nset idfile \"" << (fetchFolder.Path() / "fetchids").string()
            << "\"\npoll 127.0.0.1 protocol pop3 port " << port << " uidl no dns\n  user \"" << aSet.User
            << "\" there with password \"" << kPassword << "\" is root here\n  keep no stripcr no mimedecode"
            << " sslproto \"\"\n  mda \"" << (SelfFolder() / "maildir_mda").string() << " " << maildir.string()
            << "\"\n";
    }
    fs::permissions(rc, fs::perms::owner_read | fs::perms::owner_write);
    const TRun fetchmail = Run({"fetchmail", "-f", rc.string(), "--nosyslog", "-s", "--pidfile",
                                (fetchFolder.Path() / "pid").string()},
                               {"HOME=" + fetchFolder.Path().string(), "FETCHMAILHOME=" + fetchFolder.Path().string()});
    Report("fetchmail", aSet, fetchmail,
           Count(maildir / "new") == aSet.Count ? "" : "INCOMPLETE (exit " + std::to_string(fetchmail.Status) + ")");

    const TScratchFolder quillmarFolder("qm-bench-quillmar");
    std::vector<std::string> command = {(SelfFolder() / "bench_receive").string(), "--quillmar", port, aSet.User,
                                        quillmarFolder.Path().string()};
    if (!gProfileFolder.empty())
        command.insert(command.begin(), {"perf", "record", "-q", "--call-graph", "dwarf,16384", "-F", "2000", "-o",
                                         gProfileFolder + "/" + aSet.User + ".data"});
    const TRun quillmar = Run(command);
    int fetched = 0;
    double select = 0, transfer = 0, parse = 0, archive = 0, sync = 0, commit = 0;
    std::sscanf(quillmar.Output.c_str(), "%d %lf %lf %lf %lf %lf %lf", &fetched, &select, &transfer, &parse, &archive,
                &sync, &commit);
    Report("quillmar", aSet, quillmar, fetched == aSet.Count ? "" : "INCOMPLETE");
    std::printf("    quillmar's split: choosing %.3f s, transfer %.3f s, parsing %.3f s, archiving %.3f s, "
                "syncing %.3f s, committing %.3f s\n",
                select, transfer, parse, archive, sync, commit);
    std::printf("    quillmar / curl %.2f (transfer alone %.2f), fetchmail / quillmar %.2f\n\n",
                quillmar.Seconds / curl.Seconds, transfer / curl.Seconds, fetchmail.Seconds / quillmar.Seconds);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--quillmar") == 0)
        return ReceiveAsQuillmar(std::atoi(argv[2]), argv[3], argv[4]);
    int small = 1000;
    int large = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--small") == 0)
            small = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--large") == 0)
            large = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--profile") == 0)
            gProfileFolder = argv[++i];
    }
    TDovecotServer dovecot;
    TSet sets[] = {{"20 KB messages", "small", small}, {"5 MB messages", "large", large}};
    for (TSet& set : sets) {
        dovecot.AddUser(set.User, kPassword);
        for (int i = 0; i < set.Count; ++i) {
            const bool big = set.User == "large";
            const bool jpeg = i % 2 == 0;
            const std::string message = big ? Message(i, 3700000, jpeg ? "photo.jpg" : "report.pdf",
                                                      jpeg ? "image/jpeg" : "application/pdf")
                                            : Message(i, 12000, "price list.xls", "application/vnd.ms-excel");
            set.Megabytes += message.size() / 1e6;
            dovecot.Deliver(set.User, message);
        }
    }
    for (const TSet& set : sets)
        Compare(set, dovecot);
    return 0;
}
