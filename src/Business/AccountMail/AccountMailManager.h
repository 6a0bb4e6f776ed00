// TAccountMailManager: the only way into an account's mails. It lists
// folders, loads and saves mails and their stored complexes, moves and
// deletes them, keeps their flags, links translation pairs and secretary
// replies, remembers the POP3 headers it has seen and the mails received
// in this run that are still unread, and tells its observers what changed.
//
// Paths: a folder is [account, folder], a mail [account, folder, mail].
// The account is found through the account manager; an operation whose
// path does not fit, whose account has no open database or whose folder
// has no stored code answers nil, false, 0 or nothing, without an error,
// unless it says otherwise.
//
// The GUI thread and the scheduler thread call it at once. The manager
// keeps no lock of its own around database work: every change is one
// transaction, which holds the connection's lock, and notifications go out
// after the commit, never while a connection is held.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "AccountMailObservable.h"
#include "GetMailsOpertion.h"
#include "Mail.h"
#include "SecretaryData.h"
#include "SqliteDbMail.h"
#include "StoredComplexFiles.h"
#include "Runtime/Singleton.h"

class TRcMailComplex;
class TRcMailContactList;
class TSQLiteDatabase;
namespace mailstore {
struct TMailFolder;
}

using TMailSendReceiveStates = std::set<TMailSendReceiveState>;

class TAccountMailManager : public TSingletonOf<TAccountMailManager> {
public:
    using TGetMailsOpertion = ::TGetMailsOpertion;
    using TMailHeaderRow = TSqliteDbMail::THeaderRow;

    // Which side of a translation pair a mail is.
    static constexpr int kTranslationMail = 2;   // aMail is the source
    static constexpr int kTranslatedMail = 3;    // aMail is the translation

    TAccountMailManager();
    ~TAccountMailManager() override;

    static TAccountMailManager* AccountMailManager() { return Instance(); }

    void BeginUpdate() { FObservable->BeginUpdate(); }
    void EndUpdate() { FObservable->EndUpdate(); }
    void RegisterObserver(IAccountMailObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IAccountMailObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    // Listing. Ids are of type rtAccountMail; lists are autoreleased.
    TRcResIdList* GetMails(TRcResPath* aFolderResPath, const TGetMailsOpertion* aOpertion = nullptr);
    // The first aLimit mails of that listing (what a list's first screen
    // shows before the whole listing is ready).
    TRcResIdList* GetFirstMails(TRcResPath* aFolderResPath, const TGetMailsOpertion* aOpertion, int aLimit);
    int GetNotReadedMailCount(TRcResPath* aFolderResPath, const TGetMailsOpertion* aOpertion = nullptr);
    // Every mail of the account, whatever its folder.
    TRcResIdList* GetAllMails(TRcResPath* aResPath);
    // The mail and every mail of the inbox, sending and out box exchanged
    // between the same two addresses (either way round), newest first;
    // only the mail itself unless From and To each hold one address.
    TRcResPathList* GetRelateMailsOfMail(TRcResPath* aMailResPath);
    // The mails of the receiving (sending) folder in the given states,
    // state by state in ascending order, newest first in each.
    TRcResPathList* GetReceivingFolderMails(TRcResPath* aResPath, const TMailSendReceiveStates& aStates);
    TRcResPathList* GetSendingFolderMails(TRcResPath* aResPath, const TMailSendReceiveStates& aStates);

    // Loading; autoreleased, nullptr without a row.
    TRcMail* GetMail(TRcResPath* aMailResPath);
    TRcMail* GetMailForConversationItem(TRcResPath* aResPath);
    // These never raise (an error is logged and reads as "none"):
    // receiving asks them before an account has a database.
    TRcMail* GetMailForUid(TRcResPath* aResPath, const std::string& aUid) noexcept;
    bool UidExists(TRcResPath* aResPath, const std::string& aUid) noexcept;
    bool CheckSourceMail(TRcResPath* aResPath, const std::string& aMailId);

    // A new mail with a fresh id, not saved.
    TRcRef<TRcMail> CreateMail();
    // Writes the row into the folder (one transaction; errors roll back
    // and go to the caller), lets the address book take its
    // correspondents, then tells the observers: the mail's content when the
    // row existed, the folder otherwise. Returns the mail's path. A mail
    // read from its row whose row has since moved to another folder or
    // state (the scheduler sent it, the user moved it) is not written:
    // EMailChangedMeanwhile.
    TRcResPath* SaveMail(TRcResPath* aFolderResPath, TRcMail* aMail);
    // The same for a translation: its source gets the state "translation
    // source" in the same transaction; the folder is always notified.
    TRcResPath* SaveTranslateMail(TRcResPath* aFolderResPath, TRcMail* aMail);

    // Into the trash; from the trash, out of every folder, its stored
    // files removed. The folder the mail is stored in counts, not the
    // path's (a list may be out of date); a mail already removed is left
    // alone.
    void DeleteMail(TRcResPath* aMailResPath);
    // Out of every folder at once, its stored files removed (receiving
    // discards mails, read receipts among them, this way).
    void DirectDeleteMail(TRcResPath* aMailResPath);

    // Within one account; false when the folders differ in account, the
    // new folder has no code, or the mail is no longer in the folder its
    // path names (moved meanwhile: it is left where it is).
    bool MoveMail(TRcResPath* aMailResPath, TRcResPath* aNewFolderResPath, TMailSendReceiveState aNewReceiveSendState);
    // Every mail (all from the first one's folder, of the new folder's
    // account) into the new folder with state "none", in one transaction;
    // aMoved receives their new paths, or is emptied when the transaction
    // fails (the error goes to the caller). A mail no longer in the folder
    // its path names was moved meanwhile: it stays where it is, is logged
    // and is not in aMoved. The receiving folder is never notified: it is
    // not shown.
    void MoveMails(TRcResPathList* aMailResPaths, TRcResPath* aNewFolderResPath, TRcResPathList* aMoved = nullptr);
    bool MoveMailToInBox(TRcResPath* aResPath, TRcMail* aMail);

    // Translation pairs: the source sits in the translation box, linked to
    // its translation through NorvelUid. aResPath is the mail's path or its
    // folder's.
    bool MoveMailToNorvelBox(TRcResPath* aResPath, TRcMail* aMail, int aMailType);
    void UpdateMailCorresNorvel(TSQLiteDatabase& aDb, TRcMail* aMail, int aMailType);
    void SourceMailCorresOriginal(TRcResPath* aResPath, TRcMail* aMail, int aMailType);
    void UpdateNorvelMail(TRcResPath* aResPath, TRcMail* aMail);

    // Flags. The first three never raise: a database error is logged and
    // the flag stays as it was.
    void SetMailReadedFlag(TRcResPath* aMailResPath, bool aReadedFlag) noexcept;
    void SetMailReceiptFlag(TRcResPath* aMailResPath, bool aReceiptFlag) noexcept;
    void SetMailReTranslation(TRcResPath* aMailResPath) noexcept;
    void SetMailSendReceiveState(TRcResPath* aMailResPath, TMailSendReceiveState aState);
    // Several mails of one account in one transaction.
    void SetMailSendReceiveStates(const std::vector<std::pair<TRcResPath*, TMailSendReceiveState>>& aStates);
    // Marks every mail of the account with that Message-ID as referred to.
    void SetMailReferences(TRcResPath* aResPath, const std::string& aMsgUid);

    // The stored complex of a mail, under the account's Mails folder; the
    // page for display (the body pointing at the local files) only when
    // asked for — sending has no use for it.
    TRcMailComplex* LoadMailComplex(TRcResPath* aMailResPath, bool aDisplayPage = true);
    // True when the mail had a complex before. A nil complex is refused.
    bool SaveMailComplex(TRcResPath* aMailResPath, TRcMailComplex* aMailComplex);
    // Removes the files of deleted complexes of the account.
    void DeleteMailComplex(TRcResPath* aMailResPath);
    // Message-ID, From, To, subject, date, attachment flag, size and the
    // secretary fields from the complex.
    void UpdateMailByMailComplex(TRcMail* aMail, TRcMailComplex* aMailComplex);

    // Receiving stores a mail in two steps, so that a kill at any moment
    // leaves no half-stored mail: its complex's files are put into the
    // account's Mails/ folder (StoreReceivedFiles; the working files then
    // must not change), then a group of such mails is named by rows in one
    // transaction after all their files and the folder are synced
    // (SaveReceivedMails).
    struct TReceivedMail {
        TRcRef<TRcMail> Mail;
        TStoredComplexFiles Files;
        // A read receipt: the mails with this Message-ID are marked as
        // receipted, and the receipt itself is kept only as a removed row
        // (so its uid is not fetched again), never as a mail.
        std::string ReceiptFor;
        // Set by SaveReceivedMails when its row was written.
        bool Saved = false;
    };
    TStoredComplexFiles StoreReceivedFiles(TRcResPath* aFolderResPath, TRcMailComplex* aComplex);
    // The rows of every mail of the group in one transaction. A mail whose
    // uid is stored already is dropped (its files go). On error nothing is
    // written and the error goes to the caller. The folder is notified
    // once; the paths of the mails saved (receipts not among them) go
    // into aSaved, and each saved entry is marked so.
    void SaveReceivedMails(TRcResPath* aFolderResPath, std::vector<TReceivedMail>& aMails, TRcResPathList* aSaved);

    // A mass mailing queued for SMTP: one copy of the draft for each of its
    // recipients (To, Cc and Bcc in that order, each address once), each
    // addressed to that recipient alone (in To; no Cc, no Bcc) and with a
    // Message-ID of its own, all put into the sending folder in state
    // msarsSendToSmtp — and the draft removed — in one transaction: either
    // every copy is queued and the draft gone, or nothing changed (the
    // error goes to the caller). The copies share the draft's stored parts
    // on disk. Their paths go into aQueued.
    // aState: msarsSendToSmtp to send them all with the next send job, or
    // msarsMassHeld to release them one by one.
    void QueueMassMailing(TRcResPath* aDraftResPath, TRcResPathList* aQueued = nullptr,
                          TMailSendReceiveState aState = msarsSendToSmtp);

    // Stores a message file as a new mail of the folder; nullptr when the
    // file does not exist. A file that is not a message raises.
    TRcResPath* ImportMailFromFile(TRcResPath* aFolderResPath, const std::filesystem::path& aFileName);
    struct TImportFailure {
        std::filesystem::path File;
        std::string Message;
    };
    // Every *.eml file of the folder, in name order, one batch of
    // notifications; the files that could not be imported, with why.
    std::vector<TImportFailure> ImportMailsFromFolder(TRcResPath* aFolderResPath, const std::filesystem::path& aFolder,
                                                      TRcResPathList* aImported = nullptr);

    // Secretary replies.
    TSecretaryData GetSecretaryData(TRcMailComplex* aMailComplex, TRcMail* aMail) const;
    // A reply whose exchange file has the finished flag goes to the
    // translation box; when the file names, by a 32-digit id, a mail of
    // the sending folder or the out box, that mail is linked to it and goes
    // to the out box. Any other flag leaves the reply where it was saved.
    void SaveSecretaryMailCorresOriginal(TRcResPath* aResPath, TRcMail* aMail, TRcMailComplex* aMailComplex);

    // Mails received in this run and not read yet.
    void AddNotReadedFlagNewMail(TRcResPathList* aMailResPaths);
    void RemoveNotReadedFlagNewMail(TRcResPath* aMailResPath);
    int NotReadedFlagNewMailCount();
    TRcResPathList* NotReadedFlagNewMails();   // a copy, autoreleased

    // Every From and To item of every mail of the account, newest mail
    // first, repeats included.
    void GetMailContactList(TRcResPath* aFolderResPath, TRcMailContactList* aMailContactList);

    // The header cache of receiving. Check never raises.
    void CreateMailHeaderTabel(TRcResPath* aResPath);
    void ReplaceMailHeader(TRcResPath* aResPath, const std::string& aUid, TDateTime aData,
                           const std::string& aFromAddress, const std::string& aSubject);
    // Many rows in one transaction (the table made when missing).
    void ReplaceMailHeaders(TRcResPath* aResPath, const std::vector<TMailHeaderRow>& aRows);
    // Fills aMsg (cleared first) from the cached row; false when there is
    // none or it cannot be read (logged).
    bool CheckMailHeaderByUid(TRcResPath* aResPath, TMailHeaderRow& aMsg, const std::string& aUid) noexcept;

    // Start-up duty, before any mail job runs: for every listed account,
    // removes the stored mail files that no row names. One account's
    // failure is logged and the others still run.
    void SweepMailFiles();

private:
    TRcResPathList* FolderMailsInStates(TRcResPath* aResPath, TAccountFolderType aFolder,
                                        const TMailSendReceiveStates& aStates);
    TRcResPath* Save(const mailstore::TMailFolder& aFolder, TRcResPath* aFolderResPath, TRcMail* aMail,
                     bool aTranslate);
    void RemoveFromFolders(TRcResPath* aMailResPath, bool aDirect);
    TRcResPath* FolderPathOf(TRcResPath* aResPath) const;
    // The folder changes of MoveMailToNorvelBox, inside the caller's
    // transaction.
    static void MoveRowsToNorvelBox(TSQLiteDatabase& aDb, TRcMail* aMail, int aMailType);
    // The folder of aResPath, then the inbox unless it is that folder.
    void NotifyFolderAndInBox(TRcResPath* aResPath);

    TRcRef<TGetMailsOpertion> FDefaultGetMailsOpertion;
    TRcRef<TAccountMailObservable> FObservable;
    std::mutex FNotReadedMutex;
    TRcRef<TRcResPathList> FNotReadedNewReceiveMailList;
};
