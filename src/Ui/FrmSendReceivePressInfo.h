// The send/receive progress window: it hears the scheduler's progress
// events (on the scheduler's thread), queues them, and shows them on its
// own thread in order: what is being done, the current mail, a progress bar
// with byte counts, a list of status lines and a list of errors. Its cancel
// button asks, then cancels the running batch.
#pragma once

#include "Ui/Utils/DuForm.h"

#include "Business/Resource/ResId.h"
#include "Business/Server/MailSendReceiveObserver.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcRef.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class TfrmSendReceivePressInfo : public TDuForm {
public:
    static constexpr const char* kWindowName = "frmSendReceivePressInfo";

    enum TSyncAction {
        aProcessBegin,
        aProcessEnd,
        aTaskBegin,
        aTaskEnd,
        aActivityBegin,
        aActivityEnd,
        aMailSwitch,
        aMailUpdateDesc,
        aMailProgress,
        aTaskUpdateInfo,
        aTaskOccurError,
        aOccurError,
        aTaskUpdateSubject,
    };
    // One queued event.
    struct TRcSyncListItem {
        TSyncAction Action = aProcessBegin;
        TDateTime Time = 0;
        int TaskId = 0;
        std::string Text, KindText, Message;
        TRcRef<TRcResId> AccountId;
        int Count = 0, Index = 0;
        int64_t Max = 0, Curr = 0;
    };

    TfrmSendReceivePressInfo();
    ~TfrmSendReceivePressInfo() override;

    // The observer to register with the server driver (any thread may call it).
    IMailSendReciveObserver* Observer() const;
    // Registers with the server driver, and unregisters.
    void Attach();
    void Detach();

    std::string MainText() const;
    std::string DetailText() const;
    std::string SpeedText() const;
    int Progress() const;
    std::vector<std::string> InfoLines() const;
    std::vector<std::string> ErrorLines() const;
    bool HasError() const { return FHasError; }

    // Bytes as people read them: "512 B", "1.5 KB", "20.0 MB".
    static std::string SizeText(int64_t aBytes);

protected:
    std::string GetDuWindowName() const override { return kWindowName; }
    void BindingDuPlugin() override;
    void RegisterDuPlugin() override;
    // Asks whether to cancel; true for yes.
    virtual bool ConfirmCancel();
    // Cancels the running batch.
    virtual void CancelBatch();

private:
    class TObserver;
    friend class TObserver;

    void Queue(TRcSyncListItem aItem);
    void SyncForList();
    void Handle(const TRcSyncListItem& aItem);
    void ClearTexts();
    void AddError(const std::string& aLine);
    std::string AccountName(TRcResId* aId) const;

    duPlugin FMainText, FDetailText, FProgress, FSpeedText, FInfoList, FErrorList, FTabs;
    TRcRef<TObserver> FObserver;
    std::mutex FLock;
    std::vector<TRcSyncListItem> FQueue;
    bool FAttached = false;
    bool FHasError = false;
    bool FInActivity = false;
    std::string FAccountName, FMailSwitchText, FMailDesc;
};
