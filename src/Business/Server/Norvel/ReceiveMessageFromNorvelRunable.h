// TRcReceiveMessageFromNorvelRunable: collecting one account's mails from
// the translation service, run by the scheduler (the first step of a
// receive job, the last of an automatic receive-and-send job).
//
// It asks the service for the account's list of waiting mails, downloads
// each entry's translation (and, where wanted, its untranslated source
// mail) into the receiving folder, links translation and source in the
// store, and confirms the entry to the service. An account the service
// refuses is marked on the observable (FReceiveNorvelServerRejected), and
// the receive job falls back to POP3.
//
// An entry is stored only once every part of it has been downloaded whole
// into temporary files: a download that fails or is cancelled half-way
// stores nothing and sends no receipt, so the service offers the entry
// again. Entries whose uid is stored already are confirmed again rather
// than skipped (see CollectEntry). Run never raises; every failure is
// reported to the observable. With no service address configured, Run
// does nothing at all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Business/Http/HttpRequest.h"
#include "Business/Server/Mail/TransportRunable.h"
#include "Runtime/RcList.h"

class TRcAccount;
class TRcMailComplex;
class THttpJsonReply;

// One entry of the service's list.
class TRcMailIdsItem : public TRcObject {
public:
    std::string mail_id;
    std::string mailurl;   // the translated mail
    std::string mail_Uid;
    int send_type = 0;
    std::string sourceurl;   // the untranslated source mail
    int source_language = 0;
    std::string translate_id;
    // Only the translation is wanted: the source is not fetched (see
    // GetMailList for when).
    bool onlyTranslate = false;
    std::string title;
};

class TRcReceiveMessageFromNorvelRunable : public TRcTransportRunable {
public:
    // Largest mail downloaded when the options set no bound of their own.
    static constexpr uint64_t kMaxMailBytes = 1024ull * 1024 * 1024;

    // The service address is the configuration's at creation. aOptions:
    // timeouts and bounds of every request (tests shorten them).
    TRcReceiveMessageFromNorvelRunable(int aId, TRcResPath* aResPath, TRcMailSendReceiveObservable* aObservable,
                                       THttpOptions aOptions = {});
    static TRcReceiveMessageFromNorvelRunable* CreateAndAutoRelease(int aId, TRcResPath* aResPath,
                                                                     TRcMailSendReceiveObservable* aObservable,
                                                                     THttpOptions aOptions = {})
    {
        return RcCreateAndAutoRelease<TRcReceiveMessageFromNorvelRunable>(aId, aResPath, aObservable,
                                                                         std::move(aOptions));
    }

    void Run() override;

private:
    // What one entry's downloads left behind: removed when it goes,
    // whatever ended the entry.
    struct TDownloads {
        std::vector<std::filesystem::path> Files;
        std::vector<TRcRef<TRcMailComplex>> Complexes;
        TDownloads() = default;
        TDownloads(const TDownloads&) = delete;
        TDownloads& operator=(const TDownloads&) = delete;
        ~TDownloads();
    };

    void Start();
    // False when the service refused the account.
    bool GetMailList();
    void DownloadMailList();
    void CollectEntry(TRcMailIdsItem& aItem);
    // Downloads aUrl into a new temporary file and takes it apart.
    TRcMailComplex* Download(const std::string& aUrl, TDownloads& aDownloads);
    void RecNorvelMail(TRcMailComplex* aComplex, int aKind, int aSourceLanguage, const std::string& aUid,
                       const std::string& aSourceId);
    void PostReceipt(const TRcMailIdsItem& aItem);

    // The service's reply to a form posted to aAction; raises for a
    // transport failure and for a reply that is not JSON.
    THttpJsonReply PostAction(const char* aAction, const std::vector<THttpField>& aFields);
    // The text of a message key the service sent, or its own words when
    // the key is not one of ours.
    static std::string ServiceText(const std::string& aInfo);

    void CancelTransfer() override;

    const TRcRef<THttpRequest> FIdHttp;
    const TRcRef<TRcList<TRcMailIdsItem>> FMailIdsList;
    const std::string FNorvelServerUrl;
    std::string FMailSummary;
    TRcRef<TRcAccount> FAccount;
    TRcRef<TRcResPath> FReceivingFolderResPath;
    // The last translation stored as a stand-alone incoming mail: the mail
    // a source of kind 2 is linked to.
    std::string FOriginalMailId;
    int64_t FReadMaxCount = 0;
};
