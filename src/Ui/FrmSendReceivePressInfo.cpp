#include "FrmSendReceivePressInfo.h"

#include "Ui/Utils/MessageText.h"
#include "Ui/Utils/WarnWnd.h"

#include "Business/Account/AccountManager.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/Log.h"
#include "Runtime/TextFormat.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string TimeText(TDateTime aTime)
{
    const TDateTimeParts parts = DecodeDateTime(aTime);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", parts.Hour, parts.Minute, parts.Second);
    return text;
}

// A message text of the skin, formatted; the key itself when it has none.
std::string Message(const char* aKey)
{
    try {
        return GetMessageText(aKey);
    } catch (const std::exception&) {
        return aKey;
    }
}

// At most aMax code points, with "..." when cut.
std::string Shortened(const std::string& aText, std::size_t aMax)
{
    std::size_t points = 0, i = 0;
    while (i < aText.size()) {
        if (points == aMax)
            return aText.substr(0, i) + "...";
        const unsigned char c = static_cast<unsigned char>(aText[i]);
        i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        ++points;
    }
    return aText;
}

const char* ActionName(TfrmSendReceivePressInfo::TSyncAction aAction)
{
    static const char* const names[] = {"aProcessBegin",   "aProcessEnd",     "aTaskBegin",        "aTaskEnd",
                                        "aActivityBegin",  "aActivityEnd",    "aMailSwitch",       "aMailUpdateDesc",
                                        "aMailProgress",   "aTaskUpdateInfo", "aTaskOccurError",   "aOccurError",
                                        "aTaskUpdateSubject"};
    return names[aAction];
}

} // namespace

// Called on the scheduler's thread: it only queues.
class TfrmSendReceivePressInfo::TObserver : public TRcObject, public IMailSendReciveObserver {
public:
    explicit TObserver(TfrmSendReceivePressInfo& aForm) : FForm(aForm) {}

    void ProcessBegin() override { Queue(aProcessBegin); }
    void ProcessEnd() override { Queue(aProcessEnd); }
    void TaskBegin(int aTaskId, const std::string& aCaption) override { Queue(aTaskBegin, aTaskId, aCaption); }
    void TaskEnd(int aTaskId) override { Queue(aTaskEnd, aTaskId); }
    void ActivityBegin(int aTaskId, const std::string& aCaption, TRcResId* aAccountResId) override
    {
        TRcSyncListItem item = Item(aActivityBegin, aTaskId, aCaption);
        item.AccountId = TRcRef<TRcResId>::Retain(aAccountResId);
        FForm.Queue(std::move(item));
    }
    void ActivityEnd(int aTaskId) override { Queue(aActivityEnd, aTaskId); }
    void MailSwitch(int aTaskId, int aMailCount, TMailSwitchKind aKind, int aMailIndex) override
    {
        TRcSyncListItem item = Item(aMailSwitch, aTaskId);
        item.Count = aMailCount;
        item.Index = aMailIndex;
        item.KindText = std::to_string(static_cast<int>(aKind));
        FForm.Queue(std::move(item));
    }
    void MailUpdateDesc(int aTaskId, const std::string& aMailDesc) override { Queue(aMailUpdateDesc, aTaskId, aMailDesc); }
    void MailProgress(int aTaskId, const std::string& aMessage, int64_t aCurrByte, int64_t aMaxByte) override
    {
        TRcSyncListItem item = Item(aMailProgress, aTaskId);
        item.Message = aMessage;
        item.Curr = aCurrByte;
        item.Max = aMaxByte;
        FForm.Queue(std::move(item));
    }
    void TaskUpdateInfo(int aTaskId, const std::string& aMessage) override
    {
        TRcSyncListItem item = Item(aTaskUpdateInfo, aTaskId);
        item.Message = aMessage;
        FForm.Queue(std::move(item));
    }
    void TaskUpdateSubject(int aTaskId, const std::string& aSubject, const std::string& aType) override
    {
        TRcSyncListItem item = Item(aTaskUpdateSubject, aTaskId, aSubject);
        item.KindText = aType;
        FForm.Queue(std::move(item));
    }
    void TaskOccurError(int aTaskId, const std::string& aMessage) override
    {
        TRcSyncListItem item = Item(aTaskOccurError, aTaskId);
        item.Message = aMessage;
        FForm.Queue(std::move(item));
    }
    void OccurError(const std::string& aMessage) override
    {
        TRcSyncListItem item = Item(aOccurError, 0);
        item.Message = aMessage;
        FForm.Queue(std::move(item));
    }

private:
    static TRcSyncListItem Item(TSyncAction aAction, int aTaskId = 0, const std::string& aText = {})
    {
        TRcSyncListItem item;
        item.Action = aAction;
        item.Time = Now();
        item.TaskId = aTaskId;
        item.Text = aText;
        return item;
    }
    void Queue(TSyncAction aAction, int aTaskId = 0, const std::string& aText = {})
    {
        FForm.Queue(Item(aAction, aTaskId, aText));
    }

    TfrmSendReceivePressInfo& FForm;
};

TfrmSendReceivePressInfo::TfrmSendReceivePressInfo() = default;

TfrmSendReceivePressInfo::~TfrmSendReceivePressInfo()
{
    Detach();
}

IMailSendReciveObserver* TfrmSendReceivePressInfo::Observer() const
{
    return FObserver.Get();
}

void TfrmSendReceivePressInfo::Attach()
{
    if (TServerDriver* driver = TServerDriver::ServerDriver(); driver && !FAttached) {
        driver->RegisterObserver(FObserver.Get());
        FAttached = true;
    }
}

void TfrmSendReceivePressInfo::Detach()
{
    if (TServerDriver* driver = TServerDriver::ServerDriver(); driver && FAttached)
        driver->UnRegisterObserver(FObserver.Get());
    FAttached = false;
}

void TfrmSendReceivePressInfo::BindingDuPlugin()
{
    FMainText = GetDuPluginByName("sr_main_text");
    FDetailText = GetDuPluginByName("sr_detail_text");
    FProgress = GetDuPluginByName("sr_progress");
    FSpeedText = GetDuPluginByName("sr_speed_text");
    FInfoList = GetDuPluginByName("sr_info_list");
    FErrorList = GetDuPluginByName("sr_error_list");
    FTabs = GetDuPluginByName("sr_tabs");
    FObserver = MakeRc<TObserver>(*this);
}

void TfrmSendReceivePressInfo::RegisterDuPlugin()
{
    RegisterDuPluginNotifyEvent("frm_Close", DUNM_CLICK, [this](duPlugin, const duNotify&) { Hide(); });
    RegisterDuPluginNotifyEvent("sr_button_hide", DUNM_CLICK, [this](duPlugin, const duNotify&) { Hide(); });
    RegisterDuPluginNotifyEvent("sr_button_cancel", DUNM_CLICK, [this](duPlugin, const duNotify&) {
        if (ConfirmCancel())
            CancelBatch();
    });
}

bool TfrmSendReceivePressInfo::ConfirmCancel()
{
    return ShowWarnWnd(Message("SendReceiveInfoCancleMsg"), Message("MsgTitleQuestion"), 4, 32) == mrYes;
}

void TfrmSendReceivePressInfo::CancelBatch()
{
    if (TServerDriver* driver = TServerDriver::ServerDriver())
        driver->Cancel();
}

void TfrmSendReceivePressInfo::Queue(TRcSyncListItem aItem)
{
    bool first = false;
    {
        std::lock_guard lock(FLock);
        first = FQueue.empty();
        FQueue.push_back(std::move(aItem));
    }
    // One wake-up for a run of events; the GUI thread takes them all.
    if (first)
        AppendDelayBlock([this] { SyncForList(); });
}

void TfrmSendReceivePressInfo::SyncForList()
{
    std::vector<TRcSyncListItem> items;
    {
        std::lock_guard lock(FLock);
        items.swap(FQueue);
    }
    for (const TRcSyncListItem& item : items) {
        TLog::O(lolDebug, "FrmBottomSendReceivePressInfo.SyncForList", FormatText("Action: %s", {ActionName(item.Action)}));
        Handle(item);
    }
}

void TfrmSendReceivePressInfo::ClearTexts()
{
    FMainText.SetText("");
    FDetailText.SetText("");
    FSpeedText.SetText("");
    FProgress.SetAttributeInt("value", 0);
}

void TfrmSendReceivePressInfo::AddError(const std::string& aLine)
{
    FHasError = true;
    FErrorList.AddItem(aLine);
    FTabs.SetSelectedIndex(1);
    if (!IsVisible())
        Show();
}

std::string TfrmSendReceivePressInfo::AccountName(TRcResId* aId) const
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcAccount* account = accounts && aId ? accounts->GetAccount(aId) : nullptr;
    if (!account)
        return {};
    return account->Name().empty() ? account->Email() : account->Name();
}

void TfrmSendReceivePressInfo::Handle(const TRcSyncListItem& aItem)
{
    switch (aItem.Action) {
    case aProcessBegin:
        FHasError = false;
        ClearTexts();
        FInfoList.ClearItems();
        FErrorList.ClearItems();
        FTabs.SetSelectedIndex(0);
        break;
    case aProcessEnd:
        if (FHasError) {
            FMainText.SetText(Message("SendReceiveInfoInnerProcessEnd"));
            FTabs.SetSelectedIndex(1);
            Show();
        } else {
            ClearTexts();
            FInfoList.ClearItems();
            FErrorList.ClearItems();
            Hide();
        }
        break;
    case aTaskBegin:
        ClearTexts();
        FMainText.SetText(aItem.Text);
        break;
    case aTaskEnd:
        ClearTexts();
        break;
    case aActivityBegin:
        FInActivity = true;
        FAccountName = AccountName(aItem.AccountId.Get());
        FMailDesc.clear();
        FDetailText.SetText(FormatText("“%s” %s", {FAccountName, aItem.Text}));
        break;
    case aActivityEnd:
        FInActivity = false;
        FMailDesc.clear();
        FDetailText.SetText("");
        break;
    case aMailSwitch:
        FMailSwitchText = FormatText(Message("SendReceiveInfoInnerMailSwitch"), {aItem.Count, aItem.Index});
        FMailDesc.clear();
        FDetailText.SetText(FMailSwitchText);
        FProgress.SetAttributeInt("value", 0);
        FSpeedText.SetText("");
        break;
    case aMailUpdateDesc:
        FMailDesc = aItem.Text;
        FDetailText.SetText(FormatText("%s：%s", {FMailSwitchText, aItem.Text}));
        break;
    case aMailProgress: {
        const int percent = aItem.Max <= 0 ? 100 : static_cast<int>(aItem.Curr * 100 / aItem.Max);
        FProgress.SetAttributeInt("value", std::clamp(percent, 0, 100));
        if (aItem.Message.empty())
            FSpeedText.SetText(SizeText(aItem.Curr) + " / " + SizeText(aItem.Max));
        else
            FSpeedText.SetText(Message("SendReceiveInfoInnerMailProgress") + std::to_string(aItem.Curr) + aItem.Message +
                               " / " + std::to_string(aItem.Max) + aItem.Message);
        break;
    }
    case aTaskUpdateInfo:
        FInfoList.AddItem(TimeText(aItem.Time) + " " + (FInActivity && !FAccountName.empty() ? FAccountName + " " : "") +
                          aItem.Message);
        break;
    case aTaskUpdateSubject:
        FMainText.SetText(Message("SendReceiveInfoOnWorking") + ": " + Shortened(aItem.Text, 40) + aItem.KindText);
        break;
    case aTaskOccurError:
        if (!FInActivity)
            AddError(FormatText("%s: %s", {TimeText(aItem.Time), aItem.Message}));
        else if (!FMailDesc.empty())
            AddError(FormatText("%s - “%s” - [%s]: %s", {TimeText(aItem.Time), FAccountName, FMailDesc, aItem.Message}));
        else
            AddError(FormatText("%s - %s - %s ：%s",
                                {TimeText(aItem.Time), FMainText.GetText(), FDetailText.GetText(), aItem.Message}));
        break;
    case aOccurError:
        AddError(FormatText("%s - %s: %s", {TimeText(aItem.Time), FDetailText.GetText(), aItem.Message}));
        break;
    }
}

std::string TfrmSendReceivePressInfo::SizeText(int64_t aBytes)
{
    char text[32];
    if (aBytes < 1024)
        std::snprintf(text, sizeof text, "%lld B", static_cast<long long>(aBytes));
    else if (aBytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", aBytes / 1024.0);
    else if (aBytes < 1024LL * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", aBytes / 1048576.0);
    else
        std::snprintf(text, sizeof text, "%.2f GB", aBytes / 1073741824.0);
    return text;
}

std::string TfrmSendReceivePressInfo::MainText() const { return FMainText.GetText(); }
std::string TfrmSendReceivePressInfo::DetailText() const { return FDetailText.GetText(); }
std::string TfrmSendReceivePressInfo::SpeedText() const { return FSpeedText.GetText(); }
int TfrmSendReceivePressInfo::Progress() const { return FProgress.GetAttributeInt("value"); }

std::vector<std::string> TfrmSendReceivePressInfo::InfoLines() const
{
    std::vector<std::string> lines;
    for (int i = 0; i < FInfoList.GetItemCount(); ++i)
        lines.push_back(FInfoList.GetItemText(i));
    return lines;
}

std::vector<std::string> TfrmSendReceivePressInfo::ErrorLines() const
{
    std::vector<std::string> lines;
    for (int i = 0; i < FErrorList.GetItemCount(); ++i)
        lines.push_back(FErrorList.GetItemText(i));
    return lines;
}
