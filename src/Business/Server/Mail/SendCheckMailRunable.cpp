#include "SendCheckMailRunable.h"

#include "TransportErrors.h"
#include "TransportRunable.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/GMimeLibrary.h"
#include "Business/Mime/GMimePtr.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/Finally.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace {

// A new empty file for the test mail: in this run's temporary folder, or,
// without one (a tool, a test), in the system's.
std::filesystem::path NewMessageFile()
{
    if (TTempFileManager* temp = TTempFileManager::TempFileManager())
        return temp->MakeTempFileName("AccountTest.eml", true);
    std::string name = (std::filesystem::temp_directory_path() / "quillmar-account-test-XXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot make the test mail's file");
    ::close(fd);
    return name;
}

} // namespace

TRcSendCheckMailRunable::TRcSendCheckMailRunable(TRcAccount* aAccount, TEmailTestObservable* aObservable,
                                                 TTransportTuning aTuning)
    : TRcAccountCheckRunable(aAccount, aObservable, std::move(aTuning))
{
}

TRcSendCheckMailRunable::~TRcSendCheckMailRunable() = default;

void TRcSendCheckMailRunable::WriteTestMessage(const std::string& aEmail, const std::filesystem::path& aFile)
{
    EnsureGMimeInitialised();
    TGObject<GMimeMessage> message(g_mime_message_new(TRUE));
    GMimeObject* header = GMIME_OBJECT(message.get());
    SetAddressHeader(header, "From", {{"", aEmail}});
    // Once: a recipient named twice gets the mail twice from some servers.
    SetAddressHeader(header, "To", {{"", aEmail}});
    SetEncodedHeader(header, "Subject", kSubject);
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    const std::string id = NewGuidId() + "@quillmar.test";
    g_mime_message_set_message_id(message.get(), id.c_str());
    TGObject<GMimeTextPart> body(g_mime_text_part_new_with_subtype("html"));
    g_mime_text_part_set_text(body.get(), kBody);
    g_mime_text_part_set_charset(body.get(), "utf-8");
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(body.get()));
    WriteMessageToFile(message.get(), aFile);
}

TSmtpClient& TRcSendCheckMailRunable::NewClient()
{
    std::lock_guard lock(FSmtpMutex);
    const TTransportSettings settings = SmtpSettings();
    // The answer to a short mail comes as fast as any other.
    FSmtp = std::make_unique<TSmtpClient>(settings, settings.IdleTimeout);
    if (NeedCancel())
        FSmtp->Cancel();
    return *FSmtp;
}

void TRcSendCheckMailRunable::CancelTransfer()
{
    std::lock_guard lock(FSmtpMutex);
    if (FSmtp)
        FSmtp->Cancel();
}

void TRcSendCheckMailRunable::Run()
{
    if (NeedCancel()) {
        Cancelled(etConnectSmtp);
        return;
    }
    const std::string& email = FSettings.FEmail;
    const std::string& user = FSettings.FSmtpUsePop3 ? FSettings.FPop3User : FSettings.FSmtpUser;
    const std::string& password = FSettings.FSmtpUsePop3 ? FSettings.FPop3Password : FSettings.FSmtpPassword;
    std::filesystem::path file;
    TFinally removeFile([&] {
        std::error_code ec;
        if (!file.empty())
            std::filesystem::remove(file, ec);
    });
    TSmtpClient* smtp = nullptr;
    bool loggedIn = false;
    try {
        file = NewMessageFile();
        WriteTestMessage(email, file);
        Status(etConnectSmtp, es_ConnectSmtp);
        smtp = &NewClient();
        smtp->Connect(user, password);
        loggedIn = true;
        Status(etConnectSmtp, eS_ConnectedSmtp);
        Status(etSendMail, es_SendEmail);
        smtp->Send(email, {email}, file);
        Status(etSendMail, es_SendSuccess);
        FOutcome.Text = TransportMsg("CheckMailTitel_Success");
        FOutcome.Reason.clear();
    } catch (const std::exception& e) {
        if (NeedCancel() || dynamic_cast<const ETransportCancelled*>(&e))
            Cancelled(loggedIn ? etSendMail : etConnectSmtp);
        else if (smtp)
            Fail(ClassifySmtpTestError(e, smtp->LastCommand(), loggedIn), e, smtp->LastReply());
        else
            Fail(ClassifySmtpTestError(e, "", false), e, nullptr);
    }
    if (smtp)
        smtp->Disconnect();
}
