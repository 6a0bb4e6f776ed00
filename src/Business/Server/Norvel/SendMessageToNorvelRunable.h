// TRcSendMessageToNorvelRunable: hands an account's mails queued for
// translation (the sending folder, state msarsSendToNorvel) to the maker's
// translation service, newest first. Run by the scheduler after SMTP
// sending.
//
// For each mail: big attachments go to the file server first (a failure
// leaves the mail queued, as it was); the raw message is uploaded to the
// file server; a form describing the mail is posted to the service. The
// service's answer decides: accepted, the mail is sent (msarsSendOk; the
// job moves it to the out box); refused, unreadable or not delivered, the
// mail goes to the drafts with the reason reported. A mail without any
// recipient stays queued. An answer that arrived is applied whatever
// cancel comes after it, so an accepted mail is never submitted twice.
//
// With no service address the service is off: the mails stay queued and
// the status line says why (a failed job would only be retried, in vain).
// Run never raises; every failure is reported to the observable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Business/Http/HttpRequest.h"
#include "Business/Server/Mail/TransportRunable.h"
#include "Business/Server/TransportSteps.h"
#include "Runtime/RunableCancelList.h"

class TRcMailComplex;

// Where and how the submission talks to the maker's servers.
struct TNorvelSubmitSettings {
    std::string ServiceUrl;   // the translation service's base address; empty: off
    std::string FileServer;   // the file server's address
    THttpOptions Http;        // every upload and post

    // From the configuration, with the default connection settings.
    static TNorvelSubmitSettings Configured();
};

class TRcSendMessageToNorvelRunable : public TRcTransportRunable {
public:
    static constexpr const char* kPath = "mailOprAction!sendMailInfo.action";

    TRcSendMessageToNorvelRunable(int aId, TRcResPath* aResPath, TRcMailSendReceiveObservable* aObservable,
                                  TNorvelSubmitSettings aSettings = TNorvelSubmitSettings::Configured());

    void Run() override;

private:
    void SendList(TRcResPathList* aMails);
    void Send(TRcResPath* aMailResPath);
    // The raw message's copy on the file server: the server's reply,
    // trimmed. Raises when it could not be put there.
    std::string UploadRaw(TRcMailComplex* aComplex);
    void MoveToDrafts(TRcResPath* aMailResPath);
    void CancelTransfer() override { FCancels.Cancel(); }

    const TNorvelSubmitSettings FSettings;
    std::string FAccountEmail;
    TRunableCancelList FCancels;   // the upload or post in progress
    int64_t FWriteMaxCount = 0;
};

// The program's submission step, with settings from aSettings (default:
// the configuration's).
TTransportRunableFactory NorvelSubmitRunableFactory(std::function<TNorvelSubmitSettings()> aSettings = {});
