// quillmar-cli receive, send, list, show.
#include "CliSupport.h"
#include "CliVerbs.h"

#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/AccountMail/MailRaw.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Data/WholeFile.h"
#include "Business/Html/BodyText.h"
#include "Business/Mime/AddressList.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/MessageBuilder.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/AsciiText.h"
#include "Runtime/DateTime.h"

#include <gmime/gmime.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

TAccountMailManager& Mails()
{
    return *TAccountMailManager::AccountMailManager();
}

std::string AccountAddress(TRcResPath* aAccount)
{
    TRcAccount* account = TAccountManager::AccountManager()->GetAccount(aAccount);
    return account ? account->Email() : std::string();
}

bool Contains(const std::string& aText, const std::string& aPart)
{
    return AsciiLower(aText).find(AsciiLower(aPart)) != std::string::npos;
}

std::string ReadFileArg(const std::string& aFile)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(aFile, ec) || ::access(aFile.c_str(), R_OK) != 0)
        throw ECliError(kExitFailed, "cannot read \"" + aFile + "\"");
    return ReadWholeFile(aFile);
}

} // namespace

TRcResPath* ComposeMail(const TCliArgs& args, TRcResPath* account, TAccountFolderType aFolder,
                        const std::vector<TAddressItem>& to, const std::vector<TAddressItem>& cc,
                        const std::vector<TAddressItem>& bcc)
{
    if (args.Values.count("--body") && args.Values.count("--html"))
        throw ECliError(kExitUsage, "--body or --html, not both");
    auto raw = MakeRc<TRcMailRaw>();
    TIdMessageBuilderHtmlEx& builder = raw->Builder();
    if (args.Values.count("--html")) {
        // Pictures the page shows from files beside it (or below) go
        // inline; nothing from elsewhere on the disk.
        const std::filesystem::path page = std::filesystem::absolute(args.Value("--html"));
        ReadFileArg(page);
        raw->SetIndexHtmlFileName(page);
        raw->IndexHtmlFileNameToBuilder(page.parent_path(), {page.parent_path()});
    } else {
        builder.PlainText = args.Values.count("--body") ? ReadFileArg(args.Value("--body")) : std::string();
        builder.PlainTextCharSet = "utf-8";
        builder.PlainTextContentTransfer = "base64";
    }
    for (const std::string& file : args.AllValues("--attach")) {
        ReadFileArg(file);   // readable now, not only when the mail goes
        TIdMessageBuilderAttachment attachment;
        attachment.FileName = file;
        attachment.Name = std::filesystem::path(file).filename().string();
        builder.Attachments.push_back(attachment);
    }

    TRcAccount* sender = TAccountManager::AccountManager()->GetAccount(account);
    TGObject<GMimeMessage> message(g_mime_message_new(TRUE));
    SetAddressHeader(GMIME_OBJECT(message.get()), "From", {{sender->Name(), sender->Email()}});
    if (!to.empty())
        SetAddressHeader(GMIME_OBJECT(message.get()), "To", to);
    if (!cc.empty())
        SetAddressHeader(GMIME_OBJECT(message.get()), "Cc", cc);
    if (!bcc.empty())
        SetAddressHeader(GMIME_OBJECT(message.get()), "Bcc", bcc);
    SetEncodedHeader(GMIME_OBJECT(message.get()), "Subject", args.Value("--subject"));
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    const std::string address = sender->Email();
    const std::size_t at = address.rfind('@');
    gchar* id = g_mime_utils_generate_message_id(at == std::string::npos ? "quillmar.invalid" : address.c_str() + at + 1);
    g_mime_message_set_message_id(message.get(), id);
    g_free(id);
    builder.FillMessage(message.get());

    const std::filesystem::path file = TTempFileManager::TempFileManager()->MakeTempFileName("send.eml", true);
    WriteMessageToFile(message.get(), file);
    TRcResPath* stored = Mails().ImportMailFromFile(Folder(account, aFolder), file);
    std::error_code removeError;
    std::filesystem::remove(file, removeError);
    if (!stored)
        throw ECliError(kExitFailed, "the mail could not be stored");
    return stored;
}

int VerbReceive(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(aArgs, {}, {"--json", "--quiet"}, 1);
    std::vector<TRcResPath*> accounts = args.Words.empty() ? AllAccounts()
                                                           : std::vector<TRcResPath*>{AccountByAddress(args.Words[0])};
    if (accounts.empty())
        throw ECliError(kExitUsage, "no account; add one with quillmar-cli account add");
    nlohmann::json results = nlohmann::json::array();
    bool failed = false;
    for (TRcResPath* account : accounts) {
        const int before = Mails().GetMails(Folder(account, aftInBox))->Count();
        const std::vector<std::string> errors = RunJob(account, false, !args.Has("--json") && !args.Has("--quiet"));
        const int received = Mails().GetMails(Folder(account, aftInBox))->Count() - before;
        for (const std::string& error : errors)
            std::fprintf(stderr, "quillmar-cli: %s: %s\n", AccountAddress(account).c_str(), error.c_str());
        failed = failed || !errors.empty();
        if (args.Has("--json"))
            results.push_back({{"account", AccountAddress(account)},
                               {"received", received},
                               {"failed", errors.size()},
                               {"errors", errors}});
        else
            std::printf("%s: %d received, %zu failed\n", AccountAddress(account).c_str(), received, errors.size());
    }
    if (args.Has("--json"))
        std::printf("%s\n", results.dump(2).c_str());
    return failed ? kExitFailed : kExitOk;
}

int VerbSend(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(
        aArgs, {"--to", "--cc", "--bcc", "--subject", "--body", "--html", "--attach", "--translate"},
        {"--json", "--quiet"}, 1);
    if (args.Values.count("--translate"))
        throw ECliError(kExitFailed, "no translation service is configured; send without --translate");
    TRcResPath* account = OneAccount(args);
    const auto to = Addresses(args.AllValues("--to"));
    const auto cc = Addresses(args.AllValues("--cc"));
    const auto bcc = Addresses(args.AllValues("--bcc"));
    if (to.empty() && cc.empty() && bcc.empty())
        throw ECliError(kExitUsage, "send needs at least one --to, --cc or --bcc");

    TRcResPath* queued = ComposeMail(args, account, aftSending, to, cc, bcc);
    Mails().SetMailSendReceiveState(queued, msarsSendToSmtp);
    const std::vector<std::string> errors = RunJob(account, true, !args.Has("--json") && !args.Has("--quiet"));
    for (const std::string& error : errors)
        std::fprintf(stderr, "quillmar-cli: %s\n", error.c_str());
    TRcResIdList* sent = Mails().GetMails(Folder(account, aftOutBox));
    const bool ok = sent && sent->IndexOf(queued->Last()) >= 0;
    std::vector<std::string> allIds;
    if (TRcResIdList* all = Mails().GetAllMails(account))
        for (TRcResId* id : *all)
            allIds.push_back(id->Id());
    const std::string handle = ShortHandle(queued->Last()->Id(), allIds);
    if (args.Has("--json"))
        std::printf("%s\n", nlohmann::json({{"mail", queued->Last()->Id()}, {"sent", ok}, {"errors", errors}})
                                .dump(2)
                                .c_str());
    else
        std::printf("%s %s\n", handle.c_str(), ok ? "sent" : "not sent (in the drafts)");
    return ok ? kExitOk : kExitFailed;
}

int VerbList(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(aArgs, {"--folder", "--sort", "--search"}, {"--json"}, 1);
    TRcResPath* account = OneAccount(args);
    const TAccountFolderType type = FolderTypeOfName(args.Value("--folder", "inbox"));
    auto opertion = MakeRc<TGetMailsOpertion>();
    const std::string sort = args.Value("--sort", "date");
    if (sort == "subject")
        opertion->FSortMode = gmosmSubject;
    else if (sort == "size")
        opertion->FSortMode = gmosmSize;
    else if (sort == "unread")
        opertion->FSortMode = gmosmNoReadedFlag;
    else if (sort != "date")
        throw ECliError(kExitUsage, "--sort is date, subject, size or unread, not \"" + sort + "\"");
    TRcResPath* folder = Folder(account, type);
    TRcResIdList* ids = Mails().GetMails(folder, opertion.Get());
    std::vector<std::string> allIds;
    if (TRcResIdList* all = Mails().GetAllMails(account))
        for (TRcResId* id : *all)
            allIds.push_back(id->Id());
    const std::string search = args.Value("--search");
    nlohmann::json list = nlohmann::json::array();
    for (TRcResId* id : *ids) {
        TRcMail* mail = Mails().GetMail(folder->Append(id));
        if (!mail)
            continue;
        if (!search.empty() && !Contains(mail->FSubject, search) && !Contains(mail->FFrom, search) &&
            !Contains(mail->FTo, search))
            continue;
        const std::string handle = ShortHandle(id->Id(), allIds);
        const std::string date = mail->FDate > 0 ? FormatDateTimeIso(mail->FDate) : std::string();
        if (args.Has("--json"))
            list.push_back({{"mail", handle},
                            {"id", id->Id()},
                            {"date", date},
                            {"from", mail->FFrom},
                            {"to", mail->FTo},
                            {"subject", mail->FSubject},
                            {"size", mail->FSize},
                            {"read", mail->FSeenFlag}});
        else
            std::printf("%s  %s  %s  %s\n", handle.c_str(), date.c_str(), mail->FFrom.c_str(), mail->FSubject.c_str());
    }
    if (args.Has("--json"))
        std::printf("%s\n", list.dump(2).c_str());
    return kExitOk;
}

int VerbShow(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(aArgs, {}, {"--json"}, 1);
    if (args.Words.empty())
        throw ECliError(kExitUsage, "show MAIL");
    TRcResPath* path = MailByHandle(args.Words[0]);
    TRcMail* mail = Mails().GetMail(path);
    TRcMailComplex* complex = Mails().LoadMailComplex(path, false);
    if (!mail || !complex)
        throw ECliError(kExitFailed, "the mail's files are missing");
    const std::string text = HtmlBodyText(complex->HtmlBody()->ReadHtmlContent(), 1000000);
    nlohmann::json attachments = nlohmann::json::array();
    for (const TRcMailComplexAttachmentFile* file : *complex->AttachmentFileList())
        attachments.push_back({{"name", file->FRealFileName}, {"size", std::max<int64_t>(file->Size(), 0)}});
    const std::string date = mail->FDate > 0 ? FormatDateTimeIso(mail->FDate) : std::string();
    if (args.Has("--json")) {
        std::printf("%s\n", nlohmann::json({{"id", mail->ResId()->Id()},
                                            {"from", mail->FFrom},
                                            {"to", mail->FTo},
                                            {"subject", mail->FSubject},
                                            {"date", date},
                                            {"text", text},
                                            {"attachments", attachments}})
                                .dump(2)
                                .c_str());
    } else {
        std::printf("From: %s\nTo: %s\nSubject: %s\nDate: %s\n", mail->FFrom.c_str(), mail->FTo.c_str(),
                    mail->FSubject.c_str(), date.c_str());
        for (const auto& attachment : attachments)
            std::printf("Attachment: %s (%lld bytes)\n", attachment["name"].get<std::string>().c_str(),
                        static_cast<long long>(attachment["size"].get<int64_t>()));
        std::printf("\n%s\n", text.c_str());
    }
    complex->RemoveWorkingFiles();
    return kExitOk;
}

int VerbExport(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(aArgs, {}, {"--force"}, 2);
    if (args.Words.size() != 2)
        throw ECliError(kExitUsage, "export MAIL FILE.eml");
    const std::filesystem::path target = args.Words[1];
    std::error_code ec;
    if (std::filesystem::exists(target, ec) && !args.Has("--force"))
        throw ECliError(kExitFailed, "\"" + target.string() + "\" exists; --force replaces it");
    TRcResPath* path = MailByHandle(args.Words[0]);
    TRcMailComplex* complex = Mails().LoadMailComplex(path, false);
    if (!complex)
        throw ECliError(kExitFailed, "the mail's files are missing");
    struct TCleanup {
        TRcMailComplex* Complex;
        ~TCleanup() { Complex->RemoveWorkingFiles(); }
    } cleanup{complex};
    complex->BuildRaw();
    std::filesystem::copy_file(complex->Raw()->FFileName, target, std::filesystem::copy_options::overwrite_existing,
                               ec);
    if (ec)
        throw ECliError(kExitFailed, "cannot write \"" + target.string() + "\": " + ec.message());
    return kExitOk;
}

int VerbImport(const TCliWords& aArgs)
{
    const TCliArgs args = ParseCliArgs(aArgs, {"--account"}, {"--json"}, 1000);
    if (args.Words.size() < 2)
        throw ECliError(kExitUsage, "import FOLDER FILE… [--account ADDRESS]");
    TCliArgs accountArgs;
    if (args.Values.count("--account"))
        accountArgs.Words.push_back(args.Value("--account"));
    TRcResPath* account = OneAccount(accountArgs);
    TRcResPath* folder = Folder(account, FolderTypeOfName(args.Words[0]));
    bool failed = false;
    nlohmann::json results = nlohmann::json::array();
    for (std::size_t i = 1; i < args.Words.size(); ++i) {
        const std::string& file = args.Words[i];
        std::string error;
        TRcResPath* imported = nullptr;
        try {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(file, ec))
                error = "cannot read \"" + file + "\"";
            else
                imported = Mails().ImportMailFromFile(folder, file);
            if (!imported && error.empty())
                error = "cannot read \"" + file + "\"";
        } catch (const std::exception& e) {
            error = "\"" + file + "\" is not a message: " + e.what();
        }
        if (!error.empty()) {
            failed = true;
            std::fprintf(stderr, "quillmar-cli: %s\n", error.c_str());
        }
        if (args.Has("--json"))
            results.push_back({{"file", file}, {"mail", imported ? imported->Last()->Id() : ""}, {"error", error}});
        else if (imported)
            std::printf("%s  %s\n", imported->Last()->Id().substr(0, 8).c_str(), file.c_str());
    }
    if (args.Has("--json"))
        std::printf("%s\n", results.dump(2).c_str());
    return failed ? kExitFailed : kExitOk;
}
