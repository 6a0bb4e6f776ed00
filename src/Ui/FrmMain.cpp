#include "FrmMain.h"

#include "Ui/Mail/FrmMailListView.h"
#include "Ui/Utils/WarnWnd.h"

#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/DataUpgrade.h"
#include "Business/Marketing/ConversationManager.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/Log.h"
#include "Runtime/TextFormat.h"

// The observers are called on whatever thread changed things (the
// scheduler's, when mail arrives); the form hears them on its own.
class TfrmMain::TAccountObserver : public TRcObject, public IAccountObserver {
public:
    explicit TAccountObserver(TfrmMain& aForm) : FForm(aForm) {}
    void OnContentChanged(TRcResId*) override {}
    void OnChanged() override
    {
        FForm.AppendDelayBlock([form = &FForm] {
            TLog::O(lolInfo, "TMainForm.TAccountObserver.OnChanged");
            TAccountManager* accounts = TAccountManager::AccountManager();
            if (!accounts)
                return;
            TRcResIdList* listed = accounts->GetAccounts();
            TRcResPath* current = form->CurrAccountResPath();
            bool kept = false;
            for (TRcResId* id : *listed)
                if (current && current->Last() && current->Last()->Equals(id))
                    kept = true;
            if (!current || !kept)
                form->ChooseCurrAccount();
            form->ShowAccountLabel();
            form->ShowMailCount();
        });
    }

private:
    TfrmMain& FForm;
};

class TfrmMain::TAccountMailObserver : public TRcObject, public IAccountMailObserver {
public:
    explicit TAccountMailObserver(TfrmMain& aForm) : FForm(aForm) {}
    void OnContentChanged(TRcResPath*) override {}
    void OnReadedFlagChanged(TRcResPath*) override { Refresh(); }
    void OnChanged(TRcResPath*) override { Refresh(); }
    void OnNotReadedNewReceiveMailListChanged() override { Refresh(); }
    void OnReTranslationChanged(TRcResPath*) override {}

private:
    void Refresh()
    {
        FForm.AppendDelayBlock([form = &FForm] { form->ShowMailCount(); });
    }
    TfrmMain& FForm;
};

TfrmMain::TfrmMain() = default;

TfrmMain::~TfrmMain()
{
    UnInit();
}

void TfrmMain::BindingDuPlugin()
{
    FLabMailCount2 = GetDuPluginByName("lab_mail_main_mailcount");
    FLabMailCount3 = GetDuPluginByName("lab_mail_main_Label2");
    FLabMailAccountName = GetDuPluginByName("lab_mail_main_account");
    FButtonChange = GetDuPluginByName("btn_mail_main_change");
    GetDuPluginByName("main_account_icon").SetImage("app");
    SetCaption(kCaption);
}

void TfrmMain::RegisterDuPlugin()
{
    auto on = [this](const char* aName, std::function<void()> aProc) {
        RegisterDuPluginNotifyEvent(aName, DUNM_CLICK, [aProc](duPlugin, const duNotify&) { aProc(); });
    };
    on("btn_mail_main_Close", [this] { OnCloseButton(); });
    on("btn_mail_main_change", [this] { OpenAccountChooser(); });
    on("btn_mail_main_p_tg", [this] { ShowMissingWindow("推广窗口还在建设中。"); });
    on("btn_main_p_product", [this] { ShowMissingWindow("产品窗口还在建设中。"); });
    on("btn_main_p_contacts", [this] { ShowMissingWindow("联系人窗口还在建设中。"); });
    on("btn_main_p_mail", [this] { ShowMailWindow(); });
    on("btn_main_setaccount", [this] {
        if (FCurrAccountResPath)
            ShowMissingWindow("设置窗口还在建设中，请先用 quillmar-cli account 管理账户。");
        else
            AppendDelayBlock([this] {
                ShowMissingWindow("新建账户窗口还在建设中，请先用 quillmar-cli account add 添加账户。");
                ChooseCurrAccount();
            });
    });
    RegisterDuPluginNotifyEvent("N33", DUNM_MENU_ITEM, [this](duPlugin, const duNotify&) { ShowFromTray(); });
    RegisterDuPluginNotifyEvent("N35", DUNM_MENU_ITEM, [this](duPlugin, const duNotify&) { ReceiveAndSendNow(); });
    RegisterDuPluginNotifyEvent("N34", DUNM_MENU_ITEM, [this](duPlugin, const duNotify&) {
        if (FOnQuit)
            FOnQuit();
    });
}

bool TfrmMain::Init()
{
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "主窗体初始化");
    const bool upgraded = RunDataUpgrade(CurrentDataPath());
    if (!upgraded)
        TLog::O(lolError, "数据升级失败，程序将结束");
    // Accounts whose conversation tables the upgrade has just made get
    // their index now, before any receiving job is switched on.
    if (TConversationManager* conversations = TConversationManager::ConversationManager())
        conversations->Init();

    FAccountObserver = MakeRc<TAccountObserver>(*this);
    FAccountMailObserver = MakeRc<TAccountMailObserver>(*this);
    if (TAccountMailManager* mails = TAccountMailManager::AccountMailManager())
        mails->RegisterObserver(FAccountMailObserver.Get());
    if (TAccountManager* accounts = TAccountManager::AccountManager())
        accounts->RegisterObserver(FAccountObserver.Get());
    FInited = true;

    ChooseCurrAccount();
    ShowAccountLabel();
    ShowMailCount();

    TServerDriver* driver = TServerDriver::ServerDriver();
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (driver && accounts)
        for (TRcResId* id : *accounts->GetAccounts())
            driver->UpdateAutoReceiveSendState(TRcResPath::CreateAndAutoRelease({id}));

    // The tray: where the window goes when closed.
    FTray = std::make_unique<TDuTrayIcon>(*this);
    FTray->SetImage("app");
    FTray->SetTip(kCaption);
    FTray->SetMenu("pmTray");
    FTray->SetOnDoubleClick([this] { ShowFromTray(); });
    FTray->Show();
    SetOnCloseRequest([this] {
        OnCloseButton();
        return false;
    });

    AppendDelayBlock([this] { DeferredStartupCheck(); });
    return upgraded;
}

void TfrmMain::UnInit()
{
    if (!FInited)
        return;
    FInited = false;
    if (TAccountMailManager* mails = TAccountMailManager::AccountMailManager())
        mails->UnregisterObserver(FAccountMailObserver.Get());
    if (TAccountManager* accounts = TAccountManager::AccountManager())
        accounts->UnregisterObserver(FAccountObserver.Get());
    FTray.reset();
    FChooser.reset();
}

void TfrmMain::ChooseCurrAccount(TRcResPath* aWanted)
{
    FCurrAccountResPath = nullptr;
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcResPath* chosen = aWanted;
    if (!chosen && accounts) {
        TConfigManager* config = TConfigManager::ConfigManager();
        TRcRef<TRcResId> preferred = config ? config->DefaultAccountId() : nullptr;
        if (preferred && accounts->GetAccount(preferred.Get()))
            chosen = TRcResPath::CreateAndAutoRelease({preferred.Get()});
        else if (TRcResIdList* listed = accounts->GetAccounts(); listed && listed->Count() > 0)
            chosen = TRcResPath::CreateAndAutoRelease({listed->GetItem(0)});
    }
    FCurrAccountResPath = TRcRef<TRcResPath>::Retain(chosen);
    for (const auto& listener : FCurrAccountListeners)
        listener(FCurrAccountResPath.Get());
}

void TfrmMain::ChangeCurrAccount(TRcResPath* aPath)
{
    if (!aPath || (FCurrAccountResPath && FCurrAccountResPath->Equals(aPath)))
        return;
    ChooseCurrAccount(aPath);
    if (TConfigManager* config = TConfigManager::ConfigManager())
        config->SetDefaultAccountId(aPath->Last());
    ShowAccountLabel();
    ShowMailCount();
}

void TfrmMain::AddCurrAccountListener(std::function<void(TRcResPath*)> aListener)
{
    FCurrAccountListeners.push_back(std::move(aListener));
}

void TfrmMain::ShowAccountLabel()
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcAccount* account = accounts && FCurrAccountResPath ? accounts->GetAccount(FCurrAccountResPath.Get()) : nullptr;
    if (account) {
        const std::string nick = account->Nickname().empty() ? account->Name() : account->Nickname();
        FLabMailAccountName.SetText(account->Email());
        FLabMailAccountName.SetTooltip(nick + " : " + account->Email());
    } else {
        FLabMailAccountName.SetText("暂无账户");
        FLabMailAccountName.SetTooltip("");
    }
    Invalidate();
}

void TfrmMain::ShowMailCount()
{
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    if (!FCurrAccountResPath || !mails || !folders) {
        FLabMailCount2.SetText("");
        FLabMailCount3.SetText("");
        return;
    }
    int unread = 0;
    if (TRcResPath* inbox = folders->GetStandardFolderResPath(FCurrAccountResPath.Get(), aftInBox))
        unread = mails->GetNotReadedMailCount(inbox);
    const std::string text = FormatText("%d封未读", {unread});
    FLabMailCount2.SetStyle(unread > 0 ? "main_count" : "main_count_none");
    FLabMailCount2.SetText(text);
    FLabMailCount2.SetWidth(GetTextWidthForStyle(FLabMailCount2.GetStyle(), text));
    FLabMailCount3.SetText("邮件");
}

void TfrmMain::OpenAccountChooser()
{
    if (!FChooser)
        FChooser = TDuForm::New<TFrmMainCutUser>();
    const TDuRect button = FButtonChange.GetRect();
    FChooser->Popup(Left() + button.Left - 170, Top() + button.Bottom + 5, FCurrAccountResPath.Get(),
                    [this](TRcResPath* aChosen) {
                        // Out of the chooser's own notification first.
                        TRcRef<TRcResPath> chosen = TRcRef<TRcResPath>::Retain(aChosen);
                        AppendDelayBlock([this, chosen] { ChangeCurrAccount(chosen.Get()); });
                    });
}

void TfrmMain::ReceiveAndSendNow()
{
    TServerDriver* driver = TServerDriver::ServerDriver();
    if (!FCurrAccountResPath || !driver)
        return;
    if (FOnShowProgress)
        FOnShowProgress();
    driver->PriorityReceive(FCurrAccountResPath.Get());
    driver->PrioritySend(FCurrAccountResPath.Get());
}

bool TfrmMain::HidesToTray() const
{
    return FTray && TDuTrayIcon::IsAvailable();
}

void TfrmMain::OnCloseButton()
{
    if (HidesToTray())
        Hide();
    else
        Minimize();
}

void TfrmMain::ShowFromTray()
{
    BringToFront();
}

void TfrmMain::DeferredStartupCheck()
{
    // The update check first; when it starts no update, the platform hears
    // which accounts this client has (once its requests exist).
    const auto then = [this](bool aStarted) {
        if (aStarted)
            return;
        if (!FCurrAccountResPath)
            ShowMissingWindow("还没有邮件账户。新建账户窗口还在建设中，请先用 quillmar-cli account add 添加账户。");
    };
    if (FUpdateProcess)
        FUpdateProcess(then);
    else
        then(false);
}

void TfrmMain::ShowMailWindow()
{
    if (FCurrAccountResPath)
        TfrmMailListView::ShowFrm(FCurrAccountResPath.Get());
    else
        ShowMissingWindow("还没有邮件账户。新建账户窗口还在建设中，请先用 quillmar-cli account add 添加账户。");
}

void TfrmMain::ShowMissingWindow(const std::string& aText)
{
    ShowWarnWnd(aText, "提示", 0, 64);
}
