// TRcMail: one mail of an account, one row of its Mail table. The folder
// is not a field: it is the folder element of the mail's path, stored in
// the column Type as the folder's code.
#pragma once

#include <optional>
#include <string>

#include "Business/Account/AccountFolder.h"
#include "Business/Resource/ResId.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcRef.h"

class TSQLiteDatabase;

enum TMailSourceType { mrmNone = 0, mrmTranslate = 1, mrmReply = 2, mrmRelay = 3 };

enum TMailSendReceiveState {
    msarsNoneUser = 0,
    msarsPop3NotTranslate = 1,
    msarsPop3Translate = 2,
    msarsPop3InNorvel = 3,
    msarsPop3FromNorvel = 4,
    msarsPop3NorvelReject = 5,
    msarsPop3TransSource = 6,
    msarsSendToSmtp = 7,
    msarsSendToNorvel = 8,
    msarsSendOk = 9,
    msarsSendCancel = 10,
    // Ours, not the inherited design's: the whole message went to the SMTP
    // server and its answer to the final "." has not come. A mail found so
    // (the program died, or the line broke, while waiting) may have been
    // delivered: it is never sent again by itself, but put into the drafts
    // still carrying this state, for the user to decide.
    msarsSendInFlight = 11,
    // Ours too: a copy of a mass mailing waiting in the sending folder to be
    // released for sending one at a time (paced, resumable); the send job
    // leaves it alone.
    msarsMassHeld = 12,
};

// Stored numbers outside the known ones read as the first value.
TMailSourceType MailSourceTypeOf(int64_t aStored);
TMailSendReceiveState MailSendReceiveStateOf(int64_t aStored);

// The Type code of a folder: 1 receiving, 2 inbox, 3 drafts, 4 sending,
// 5 out box, 6 trash, 7 translation sources; 0 is a mail removed from the
// trash. aftAll has none.
std::optional<int> FolderCodeOf(TAccountFolderType aType);
std::optional<TAccountFolderType> FolderTypeOfCode(int aCode);

// A save that would undo a change made meanwhile by the other thread.
class EMailChangedMeanwhile : public Exception {
public:
    explicit EMailChangedMeanwhile(const std::string& aSubject) : Exception("邮件已在别处被改动，没有保存：" + aSubject) {}
};

class TRcMail : public TRcObject {
public:
    TRcMail() = delete;
    // Loads the row of aResId from aDb; without a row or a connection the
    // fields stay empty. A nil id raises "账户邮件资源ID为空".
    TRcMail(TRcResId* aResId, TSQLiteDatabase* aDb);
    static TRcMail* CreateAndAutoRelease(TRcResId* aResId, TSQLiteDatabase* aDb)
    {
        return RcCreateAndAutoRelease<TRcMail>(aResId, aDb);
    }

    TRcResId* ResId() const { return FResId.Get(); }
    TRcResId* SorceResId() const { return FSorceResId.Get(); }
    void SetSorceResId(TRcResId* aResId) { FSorceResId = TRcRef<TRcResId>::Retain(aResId); }

    // The subject, or "<id: ID>" when it has none.
    std::string ToString() const override;

    // What the stored row said when this mail was read (or last saved):
    // a save changes the row only if its folder and state still say so.
    // None for a mail that was never read from or written to a row.
    struct TStoredMark {
        int64_t FolderCode;
        int64_t State;   // as stored, also a number no state names
        bool SeenFlag;
    };
    const std::optional<TStoredMark>& StoredMark() const { return FStoredMark; }
    void SetStoredMark(const TStoredMark& aMark) { FStoredMark = aMark; }

    TMailSourceType FSourceType = mrmNone;
    bool FSeenFlag = false;
    int FSourceLanguage = 0;
    int FTargetLanguage = 0;
    TMailSendReceiveState FSendReceiveState = msarsNoneUser;
    std::string FUid;
    std::string FMessageId;
    std::string FSubject;
    std::string FFrom;
    std::string FTo;
    TDateTime FDate = 0;
    bool FHasAttachmentFlag = false;
    int64_t FSize = 0;
    std::string FNorvelUid;
    bool FQunFaFlag = false;
    bool FReferences = false;
    bool FReceiptSend = false;
    std::string FMailSummary;
    bool FReTranslation = false;
    bool FUserSecretary = false;
    std::string FSecretaryer;
    int FSecretaryFlag = 0;
    int FSecretaryedType = 0;
    std::string FSecretaryMemo;

private:
    TRcRef<TRcResId> FResId;
    TRcRef<TRcResId> FSorceResId;
    std::optional<TStoredMark> FStoredMark;
};
