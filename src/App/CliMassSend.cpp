// quillmar-cli mass-send: one mail per recipient from a file of addresses,
// released to the SMTP job one at a time — with a pause between mails and
// a cap per hour — so that an interrupted mailing (Ctrl-C, a kill, a crash,
// a dead server) goes on with --resume where it stopped. The copies wait
// in the sending folder as msarsMassHeld; a copy found in flight may have
// been delivered and is never sent again: it goes to the drafts, reported.
#include "CliSupport.h"
#include "CliVerbs.h"

#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/WholeFile.h"
#include "Business/Mime/AddressList.h"
#include "Runtime/AsciiText.h"

#include <nlohmann/json.hpp>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <sstream>
#include <thread>

namespace {

TAccountMailManager& Mails()
{
    return *TAccountMailManager::AccountMailManager();
}

// Waiting, with a seam: QUILLMAR_CLI_FAKE_CLOCK makes the waits only
// counted (and written to standard error as "wait N s"), so a test sees
// the pacing without spending the time.
class TCliClock {
public:
    TCliClock() : FFake(std::getenv("QUILLMAR_CLI_FAKE_CLOCK") != nullptr) {}
    double Now() const
    {
        if (FFake)
            return FFakeNow;
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    void Wait(double aSeconds)
    {
        if (aSeconds <= 0)
            return;
        if (FFake) {
            std::fprintf(stderr, "wait %.1f s\n", aSeconds);
            FFakeNow += aSeconds;
            return;
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(aSeconds));
    }

private:
    bool FFake;
    double FFakeNow = 1e6;
};

// The recipients of the address file: one per line, "Name <address>" or
// the address alone; blank lines and lines starting with "#" are skipped.
// Every line that is no address is reported with its number, and then
// nothing is sent.
std::vector<TAddressItem> RecipientsOfFile(const std::string& aFile)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(aFile, ec) || ::access(aFile.c_str(), R_OK) != 0)
        throw ECliError(kExitFailed, "cannot read \"" + aFile + "\"");
    std::istringstream lines(ReadWholeFile(aFile));
    std::vector<TAddressItem> recipients;
    std::string bad;
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const std::string text = Trimmed(line);
        if (text.empty() || text[0] == '#')
            continue;
        try {
            auto items = Addresses({text});
            if (items.size() != 1)
                throw ECliError(kExitUsage, "one address per line");
            recipients.push_back(std::move(items.front()));
        } catch (const ECliError&) {
            bad += (bad.empty() ? "" : "\n") + aFile + ":" + std::to_string(number) + ": not one mail address: \"" +
                   text + "\"";
        }
    }
    if (!bad.empty())
        throw ECliError(kExitUsage, bad + "\nnothing was sent");
    if (recipients.empty())
        throw ECliError(kExitUsage, "\"" + aFile + "\" holds no address");
    return recipients;
}

std::string RecipientOf(TRcResPath* aMail)
{
    TRcMail* mail = Mails().GetMail(aMail);
    return mail ? mail->FTo : std::string();
}

} // namespace

int VerbMassSend(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(aArgs,
                                       {"--recipients", "--subject", "--body", "--html", "--attach", "--pause",
                                        "--per-hour"},
                                       {"--resume", "--quiet"}, 1);
    TRcResPath* account = OneAccount(args);
    const double pause = args.Values.count("--pause") ? std::atof(args.Value("--pause").c_str()) : 0.0;
    const int perHour = args.Values.count("--per-hour") ? std::atoi(args.Value("--per-hour").c_str()) : 0;
    if (pause < 0 || perHour < 0 || (args.Values.count("--per-hour") && perHour == 0))
        throw ECliError(kExitUsage, "--pause takes seconds and --per-hour a number of mails above 0");

    if (!args.Has("--resume")) {
        if (!args.Values.count("--recipients"))
            throw ECliError(kExitUsage, "mass-send needs --recipients FILE (or --resume)");
        const std::vector<TAddressItem> recipients = RecipientsOfFile(args.Value("--recipients"));
        TRcResPath* draft = ComposeMail(args, account, aftDraft, recipients, {}, {});
        Mails().QueueMassMailing(draft, nullptr, msarsMassHeld);
    }

    // Copies a former run left in flight may have been delivered.
    int inDoubt = 0;
    if (TRcResPathList* inFlight = Mails().GetSendingFolderMails(account, {msarsSendInFlight})) {
        TRcResPath* drafts = Folder(account, aftDraft);
        for (TRcResPath* mail : *inFlight) {
            std::printf("in doubt: %s (possibly delivered; left in the drafts)\n", RecipientOf(mail).c_str());
            Mails().MoveMail(mail, drafts, msarsSendInFlight);
            ++inDoubt;
        }
    }

    // A copy released just before a kill is queued already: it goes first.
    TRcResPathList* held = Mails().GetSendingFolderMails(account, {msarsSendToSmtp, msarsMassHeld});
    const int total = held ? held->Count() : 0;
    TRcRef<TRcResPathList> keep = TRcRef<TRcResPathList>::Retain(held);
    TCliClock clock;
    std::deque<double> lastHour;
    double lastStart = -1e18;
    int sent = 0, failed = 0;
    // Looked up by the row's folder code: listing the out box after each
    // mail would cost time growing with the mailing.
    const int64_t outBox = FolderCodeOf(aftOutBox).value_or(-1);
    for (int i = 0; i < total; ++i) {
        TRcResPath* mail = held->GetItem(i);
        // The pause since the last mail began, and room within the hour.
        clock.Wait(lastStart + pause - clock.Now());
        while (!lastHour.empty() && lastHour.front() <= clock.Now() - 3600)
            lastHour.pop_front();
        if (perHour > 0 && static_cast<int>(lastHour.size()) >= perHour) {
            clock.Wait(lastHour.front() + 3600 - clock.Now());
            lastHour.pop_front();
        }
        lastStart = clock.Now();
        lastHour.push_back(lastStart);

        const std::string recipient = RecipientOf(mail);
        Mails().SetMailSendReceiveState(mail, msarsSendToSmtp);   // released
        const std::vector<std::string> errors = RunJob(account, true, false);
        // Where the job left it, from its row: the out box, the drafts
        // (refused, or gone whole with no answer), or still queued.
        TRcMail* now = Mails().GetMail(mail);
        const auto& stored = now ? now->StoredMark() : std::nullopt;
        std::string outcome;
        if (stored && stored->FolderCode == outBox) {
            ++sent;
            outcome = "sent";
        } else if (now && now->FSendReceiveState == msarsSendInFlight) {
            ++inDoubt;
            outcome = "in doubt";
        } else if (now && now->FSendReceiveState != msarsSendToSmtp) {
            ++failed;
            outcome = "failed";
        } else {
            // Not sent and not failed: the server could not be reached.
            // The mail waits for --resume.
            Mails().SetMailSendReceiveState(mail, msarsMassHeld);
            std::printf("%d sent, %d failed, %d in doubt, %d left\n", sent, failed, inDoubt, total - i);
            throw ECliError(kExitFailed, (errors.empty() ? std::string("the mail server could not be reached")
                                                          : errors.front()) +
                                             "; quillmar-cli mass-send --resume goes on");
        }
        std::printf("mail %d/%d: %s %s\n", i + 1, total, outcome.c_str(), recipient.c_str());
        if (outcome == "failed")
            for (const std::string& error : errors)
                std::fprintf(stderr, "quillmar-cli: %s: %s\n", recipient.c_str(), error.c_str());
        if (::isatty(2) && !args.Has("--quiet"))
            std::fprintf(stderr, "\rsent %d, failed %d, in doubt %d, left %d   ", sent, failed, inDoubt,
                         total - i - 1);
        std::fflush(stdout);
    }
    if (::isatty(2) && !args.Has("--quiet") && total > 0)
        std::fprintf(stderr, "\n");
    std::printf("%d sent, %d failed, %d in doubt, 0 left\n", sent, failed, inDoubt);
    return failed > 0 ? kExitFailed : kExitOk;
}
