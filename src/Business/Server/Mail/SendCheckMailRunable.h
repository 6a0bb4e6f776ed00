// TRcSendCheckMailRunable: the SMTP part of the account connection test.
// Logs in to the account's SMTP server (with the POP3 login when the
// account says so) and sends a short test mail to the account's own
// address, once; the next receive fetches it like any mail. Every step is
// reported to the observable; Run never raises.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "AccountCheckRunable.h"
#include "SmtpClient.h"

class TRcSendCheckMailRunable : public TRcAccountCheckRunable {
public:
    static constexpr const char* kSubject = "Quillmar测试帐号发出的测试邮件";
    static constexpr const char* kBody = "This is for you to Quillmar in the configure SMTP server send test message";

    TRcSendCheckMailRunable(TRcAccount* aAccount, TEmailTestObservable* aObservable, TTransportTuning aTuning = {});
    ~TRcSendCheckMailRunable() override;

    void Run() override;

    // The test mail, from aEmail to aEmail: an HTML part in UTF-8.
    static void WriteTestMessage(const std::string& aEmail, const std::filesystem::path& aFile);

private:
    void CancelTransfer() override;
    // The client of this run; cancelled at once when the cancel came first.
    TSmtpClient& NewClient();

    std::mutex FSmtpMutex;
    std::unique_ptr<TSmtpClient> FSmtp;
};
