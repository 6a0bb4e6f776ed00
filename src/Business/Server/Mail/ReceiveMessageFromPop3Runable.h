// TRcReceiveMessageFromPop3Runable: one POP3 receive of one account into
// its receiving folder, run by the scheduler.
//
// It lists the server's UIDLs, skips what the mail table already holds
// (whatever folder), reads the header of the rest (from the header cache,
// else with TOP n 0), keeps what passes the date window, the white list,
// the black list and the subject filters, and downloads that: each
// message is streamed to a raw file, taken apart into a mail complex, and
// stored. Nothing is ever deleted on the server.
//
// A message counts as received only once it is stored: its files written
// and synced, the folder synced, its rows committed. Mails are committed
// in groups (at most kCommitInterval apart, and at the end of the run,
// however it ends), so a kill at any moment leaves no half-stored mail
// and the next run fetches exactly what is missing.
//
// A connection that breaks during a download costs only that message: the
// run logs in again, numbers the remaining messages from a fresh UIDL and
// goes on. Run never raises; every failure is reported to the observable.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AccountTransport.h"
#include "Pop3Client.h"
#include "TransportRunable.h"
#include "UidList.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Server/TransportSteps.h"

class TRcMailSendReceiveObservable;
class TRcMailComplex;

class TRcReceiveMessageFromPop3Runable : public TRcTransportRunable {
public:
    static constexpr std::chrono::milliseconds kCommitInterval{100};
    // Mail larger than this is not worth translating.
    static constexpr int64_t kTranslateSizeLimit = 52428800;

    TRcReceiveMessageFromPop3Runable(int aId, TRcResPath* aResPath, TPop3Mode aPop3Mode, TDateTime aBeginDate,
                                     TDateTime aEndDate, TRcMailSendReceiveObservable* aObservable,
                                     TTransportTuning aTuning = {});
    ~TRcReceiveMessageFromPop3Runable() override;
    static TRcReceiveMessageFromPop3Runable* CreateAndAutoRelease(int aId, TRcResPath* aResPath, TPop3Mode aPop3Mode,
                                                                   TDateTime aBeginDate, TDateTime aEndDate,
                                                                   TRcMailSendReceiveObservable* aObservable,
                                                                   TTransportTuning aTuning = {})
    {
        return RcCreateAndAutoRelease<TRcReceiveMessageFromPop3Runable>(aId, aResPath, aPop3Mode, aBeginDate,
                                                                       aEndDate, aObservable, std::move(aTuning));
    }

    // Cancel (any thread) stops the run at the next step and breaks the
    // transfer in progress; what it was fetching is not stored.
    void Run() override;

    // Where the time of the run went, in seconds: choosing what to fetch
    // (UIDL, the mail table, headers from the cache or TOP), the transfer
    // (LIST and RETR into the raw file), taking the message apart and its
    // summary, putting the parts into the store (zipping the large ones),
    // syncing those files, and committing the groups (the folder sync and
    // the rows).
    struct TTimes {
        double Select = 0;
        double Transfer = 0;
        double Parse = 0;
        double Archive = 0;
        double Sync = 0;
        double Commit = 0;
    };
    const TTimes& Times() const { return FTimes; }

    // Messages fetched in the run (stored or not).
    int RetrCount() const { return FRetrCount; }
    const TUidList& UidList() const { return FUidList; }

private:
    struct TPending {
        TRcRef<TRcMailComplex> Complex;
        std::size_t Item;
    };

    void Connect();
    void Login();
    void Disconnect() noexcept;
    void SelectMessages();
    bool WantMessage(const TUidItem& aItem);
    void DownloadMessages();
    void Pop3Retr(std::size_t aItem);
    // After a broken connection: a new session, the remaining messages
    // numbered from its UIDL.
    void Reconnect();
    void CommitPending();
    void CommitIfDue();
    void DropPending() noexcept;

    void CancelTransfer() override;
    const TServerReply* LastReply() const;

    std::mutex FPop3Mutex;   // guards the pointer, for Cancel
    std::unique_ptr<TPop3Client> FPop3;
    TUidList FUidList;
    const TPop3Mode FPop3Mode;
    const TDateTime FBeginDate;
    const TDateTime FEndDate;
    bool FReadHeader = false;
    int FMailHeaderCount = 0;
    int FCurrHeaderCount = 0;
    std::string FMailSummary;
    TRcRef<TRcResPath> FReceivingFolderResPath;
    TMailSendReceiveState FReceiveState = msarsPop3Translate;
    int FRetrCount = 0;
    int64_t FReadMaxCount = 0;

    const TTransportTuning FTuning;
    TTransportSettings FSettings;
    std::string FUser;
    std::string FPassword;
    // Headers read with TOP in this run, for the cache.
    std::vector<TAccountMailManager::TMailHeaderRow> FNewHeaders;
    // Fetched and their files stored, their rows not yet committed.
    std::vector<TAccountMailManager::TReceivedMail> FGroup;
    std::vector<TPending> FPending;
    std::chrono::steady_clock::time_point FGroupStart;
    TTimes FTimes;
    // The raw file every download of the run is written to in turn.
    std::filesystem::path FRawFile;
};
