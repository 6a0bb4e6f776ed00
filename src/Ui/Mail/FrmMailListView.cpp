#include "FrmMailListView.h"

#include "Ui/Utils/FileDialogs.h"
#include "Ui/Utils/MailPrintWnd.h"
#include "Ui/Utils/MessageText.h"
#include "Ui/Utils/WarnWnd.h"

#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/AttachmentSaving.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/AccountMail/MailEmlExport.h"
#include "Business/AccountMail/ReadReceipt.h"
#include "Business/Mime/AddressList.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AsciiText.h"
#include "Runtime/DateTime.h"
#include "Runtime/Log.h"
#include "Runtime/TextFormat.h"

#include <algorithm>

namespace {

std::unique_ptr<TfrmMailListView> gInstance;
std::function<void()> gShowProgress;

constexpr TAccountFolderType kCountedFolders[4] = {aftInBox, aftDraft, aftOutBox, aftThrashBag};

// The first address as the reading pane names it: "Name <address>" when
// it has a display name, else the address alone; "等 n 人" for the others.
std::string PaneAddress(const std::string& aList)
{
    const auto items = ParseAddressList(aList);
    if (items.empty())
        return aList;
    const TAddressItem& first = items.front();
    std::string text = first.Name.empty() ? first.Address : first.Name + " <" + first.Address + ">";
    if (items.size() > 1)
        text += FormatText(" 等 %d 人", {static_cast<int>(items.size())});
    return text;
}

} // namespace

std::optional<TAccountFolderType> FolderTypeOfMode(TMainRightListMode aMode)
{
    switch (aMode) {
    case mrlmReceive: return aftInBox;
    case mrlmDrafts: return aftDraft;
    case mrlmSend: return aftSending;
    case mrlmSended: return aftOutBox;
    case mrlmTrash: return aftThrashBag;
    default: return std::nullopt;
    }
}

// Called on whatever thread changed the mail (the scheduler's, when mail
// arrives); the window hears it on its own thread, and only what concerns
// the folder it shows.
class TfrmMailListView::TAccountMailObserver : public TRcObject, public IAccountMailObserver {
public:
    explicit TAccountMailObserver(TfrmMailListView& aForm) : FForm(aForm) {}

    void OnContentChanged(TRcResPath* aMailResPath) override
    {
        TLog::O(lolInfo, "TFrmMainframe.TAccountMailObserver.OnContentChanged");
        OnForm(aMailResPath, [](TfrmMailListView& aForm, TRcResPath* aPath) {
            TLog::O(lolInfo, "TFrmMainframe.TAccountMailObserver.OnContentChanged  ProcRunable");
            aForm.FMailListAdapter->RefreshMail(aPath);
            if (aForm.DetailResPath() && aForm.DetailResPath()->Equals(aPath)) {
                // Shown again as it is now, without asking anything again.
                TRcRef<TRcResPath> keep = TRcRef<TRcResPath>::Retain(aPath);
                aForm.FCurrentRightListDetailResPath = nullptr;
                aForm.ShowDetail(keep.Get());
            }
        });
    }
    void OnReadedFlagChanged(TRcResPath* aMailResPath) override
    {
        TLog::O(lolInfo, "TFrmMainframe.TAccountMailObserver.OnReadedFlagChanged");
        OnForm(aMailResPath, [](TfrmMailListView& aForm, TRcResPath* aPath) {
            TLog::O(lolInfo, "TFrmMainframe.TAccountMailObserver.OnReadedFlagChanged  ProcRunable");
            aForm.FMailListAdapter->RefreshMail(aPath);
            aForm.RefreshCounts();
        });
    }
    void OnChanged(TRcResPath* aFolderResPath) override
    {
        TLog::O(lolInfo, "TFrmMainframe.TAccountMailObserver.OnChanged");
        TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(aFolderResPath);
        FForm.OnGui([form = &FForm, path] {
            if (!path)
                return;
            if (form->Belongs(path.Get()))
                form->QueueReload();
            else if (form->CurrAccountResPath() && AccountResPathOf(path.Get()) &&
                     AccountResPathOf(path.Get())->Equals(form->CurrAccountResPath()))
                form->RefreshCounts();   // another folder of the account
        });
    }
    void OnNotReadedNewReceiveMailListChanged() override
    {
        TLog::O(lolInfo, "TMainForm.TAccountMailObserver.OnNotReadedNewReceiveMailListChanged");
        FForm.OnGui([form = &FForm] {
            TLog::O(lolInfo, "TMainForm.WM_TAccountMailObserver_OnNotReadedNewReceiveMailListChanged");
            form->RefreshCounts();
        });
    }
    void OnReTranslationChanged(TRcResPath* aMailResPath) override
    {
        OnForm(aMailResPath, [](TfrmMailListView& aForm, TRcResPath* aPath) {
            aForm.FMailListAdapter->RefreshMail(aPath);
            if (aForm.DetailResPath() && aForm.DetailResPath()->Equals(aPath)) {
                if (TAccountMailManager* mails = TAccountMailManager::AccountMailManager())
                    if (TRcMail* mail = mails->GetMail(aPath))
                        aForm.FCurrentRightListDetailCurrentMail = TRcRef<TRcMail>::Retain(mail);
                aForm.FReTranslationBtn.SetVisible(false);
            }
        });
    }

private:
    void OnForm(TRcResPath* aPath, void (*aProc)(TfrmMailListView&, TRcResPath*))
    {
        TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(aPath);
        FForm.OnGui([form = &FForm, path, aProc] {
            if (path && form->Belongs(path.Get()))
                aProc(*form, path.Get());
        });
    }

    TfrmMailListView& FForm;
};

TfrmMailListView* TfrmMailListView::ShowFrm(TRcResPath* aResPath)
{
    if (!aResPath)
        return nullptr;
    if (!gInstance) {
        gInstance = TDuForm::New<TfrmMailListView>();
        gInstance->Init();
    }
    TfrmMailListView& form = *gInstance;
    if (!form.FCurrAccountResPath || !form.FCurrAccountResPath->Equals(aResPath)) {
        form.SetCurrAccountResPath(aResPath);
        form.Show();
    } else {
        form.BringToFront();
    }
    return gInstance.get();
}

TfrmMailListView* TfrmMailListView::Instance()
{
    return gInstance.get();
}

void TfrmMailListView::FreeInstance()
{
    if (gInstance)
        gInstance->UnInit();
    gInstance.reset();
}

void TfrmMailListView::SetShowProgressProc(std::function<void()> aProc)
{
    gShowProgress = std::move(aProc);
}

TfrmMailListView::TfrmMailListView() : FCurrentRightListOpertion(MakeRc<TGetMailsOpertion>()) {}

TfrmMailListView::~TfrmMailListView()
{
    UnInit();
}

void TfrmMailListView::BindingDuPlugin()
{
    FRightMaillayout = GetDuPluginByName("mailListViewRightlayout");
    FRightMailNoListLayout = GetDuPluginByName("mailListViewRightlayout_no_list");
    FInboxBoxNotReadedMailcount = GetDuPluginByName("InboxBoxNotReadedMailcount");
    FMailDrafNotReadedMailcount = GetDuPluginByName("MailDrafNotReadedMailcount");
    FMailOutBoxNotReadedMailcount = GetDuPluginByName("MailOutBoxNotReadedMailcount");
    FMailThrashNotReadedMailcount = GetDuPluginByName("MailThrashNotReadedMailcount");
    FRightTopEmailSubjectLab = GetDuPluginByName("lab_mailListViewRighttopSubject");
    FRightTopEmailAttachment = GetDuPluginByName("btn_mailListViewRighttopAttachment");
    FBtnRightTopEmailTranslation = GetDuPluginByName("btn_Language_Translate");
    FBtnRightTopEmailDate = GetDuPluginByName("lab_Mailsender_Time");
    FToolBarSearchEdit = GetDuPluginByName("toolbarSearchEdit");
    FBottomMailRelateLayout = GetDuPluginByName("layout_receive_mail_list_panel_link_mail_back");
    FBrowserHwndobj = GetDuPluginByName("hwndobj_mail_list_panel_receive_mail_content");
    FReTranslationBtn = GetDuPluginByName("btn_frmMailListViewReNorvel");
    FFromLabel = GetDuPluginByName("lab_mailListView_from");
    FStatusLabel = GetDuPluginByName("lab_mailListView_status");
    FPicturesBar = GetDuPluginByName("layout_mailListView_pictures");
    SetCaption("邮件");
}

void TfrmMailListView::RegisterDuPlugin()
{
    auto click = [this](const char* aName, std::function<void()> aProc) {
        RegisterDuPluginNotifyEvent(aName, DUNM_CLICK, [aProc](duPlugin, const duNotify&) { aProc(); });
    };
    auto menu = [this](const char* aName, std::function<void()> aProc) {
        RegisterDuPluginNotifyEvent(aName, DUNM_MENU_ITEM, [aProc](duPlugin, const duNotify&) { aProc(); });
    };
    const std::string editorMissing = "写邮件窗口还在建设中，请先用 quillmar-cli send 发送邮件。";
    const std::string viewerMissing = "邮件阅读窗口还在建设中，邮件内容显示在右侧。";
    const std::string translationMissing = "翻译服务还没有接入，暂时不能查看译文或重新翻译。";

    click("topMailListViewClose", [this] { Hide(); });
    click("topMailListViewMinimize", [this] { Minimize(); });
    click("toolbarBtnSendMail", [this, editorMissing] { ShowMissingWindow(editorMissing); });
    click("toolbarBtnDeleteMail", [this] { DeleteSelected(); });
    click("toolbarBtnReceiveMail", [this] { ReceiveNow(); });
    click("toolbarBtnMailReplyMail", [this, editorMissing] { ShowMissingWindow(editorMissing); });
    click("toolbarSearchBtn", [this] { Search(FToolBarSearchEdit.GetText()); });
    RegisterDuPluginNotifyEvent("toolbarSearchEdit", DUNM_EDIT_RETURN,
                                [this](duPlugin, const duNotify&) { Search(FToolBarSearchEdit.GetText()); });
    RegisterDuPluginNotifyEvent("mailListViewSortCombo", DUNM_COMBO_SELECT, [this](duPlugin, const duNotify& aNotify) {
        static constexpr TGetMailsOpertionSortMode kModes[] = {gmosmDefault, gmosmSubject, gmosmSize,
                                                               gmosmNoReadedFlag};
        if (aNotify.wParam >= 0 && aNotify.wParam < 4)
            SetSortMode(kModes[aNotify.wParam]);
    });
    click("frmMailListViewMenu", [this] { TrackPopupMenuAtCursor("mail_menu", -140, 15); });
    RegisterDuPluginNotifyEvent("mailListView_mailListListbox", DUNM_LIST_CONTEXT,
                                [this](duPlugin, const duNotify& aNotify) { OnListContext(aNotify.wPlugin); });
    const std::pair<const char*, TMainRightListMode> folders[] = {{"MailInboxBoxButton", mrlmReceive},
                                                                  {"MailDrafBoxButton", mrlmDrafts},
                                                                  {"MailOutBoxBoxButton", mrlmSended},
                                                                  {"MailThrashBagBoxButton", mrlmTrash}};
    for (const auto& [name, mode] : folders) {
        const TMainRightListMode wanted = mode;
        RegisterDuPluginNotifyEvent(name, DUNM_RADIO, [this, wanted](duPlugin, const duNotify&) { SwitchMode(wanted); });
    }
    menu("mail_menuitem_0", [this, editorMissing] { ShowMissingWindow(editorMissing); });
    menu("mail_menuitem_1", [this, editorMissing] { ShowMissingWindow(editorMissing); });
    menu("mail_menuitem_2", [this, editorMissing] { ShowMissingWindow(editorMissing); });
    menu("mail_menuitem_3", [this] { DeleteSelected(); });
    menu("popupMenu_MailListView_DeleteMail", [this] { DeleteSelected(); });
    menu("mail_menuitem_4", [this] { SetReadedOfSelected(false); });
    menu("popupMenu_MailListView_ReadFalge", [this] { SetReadedOfSelected(true); });
    menu("moveto_menuitem_0", [this] { MoveSelected(aftInBox); });
    menu("moveto_menuitem_1", [this] { MoveSelected(aftDraft); });
    menu("moveto_menuitem_2", [this] { MoveSelected(aftOutBox); });
    menu("moveto_menuitem_3", [this] { MoveSelected(aftThrashBag); });
    menu("mail_menuitem_6", [this] { ExportAttachmentsOfDetail(); });
    menu("mail_menuitem_8", [this] { ExportEmlOfDetail(); });
    menu("mail_menuitem_9", [this] { PrintDetail(true); });
    menu("mail_menuitem_10", [this] { PrintDetail(false); });
    menu("popupMenu_MailListView_OpenMail", [this, viewerMissing] {
        if (DetailResPath())
            ShowMissingWindow(viewerMissing);
    });
    menu("popupMenu_MailListView_ImportEml", [this] { ImportEml(); });
    click("btn_mailListViewRighttopAttachment", [this] { ExportAttachmentsOfDetail(); });
    click("btn_mailListView_show_pictures", [this] {
        FPicturesBar.SetVisible(false);
        if (FEmbeddedReceiveMail)
            FEmbeddedReceiveMail->SetShowPictures(true);
    });
    click("btn_frmMailListViewReNorvel", [this, translationMissing] { ShowMissingWindow(translationMissing); });
    click("btn_Language_Translate", [this, translationMissing] { ShowMissingWindow(translationMissing); });
    RegisterDuPluginNotifyEventForMetch("button_tabpage_mail_receive_list_translation_*", DUNM_CLICK,
                                        [this, translationMissing](duPlugin, const duNotify&) {
                                            ShowMissingWindow(translationMissing);
                                        });
    RegisterDuPluginNotifyEventForMetch("btn_tabpage_mail_Translation_list_*", DUNM_CLICK,
                                        [this, translationMissing](duPlugin, const duNotify&) {
                                            ShowMissingWindow(translationMissing);
                                        });
    RegisterDuPluginNotifyEventForMetch("checkBox_tabpage_mail_list_Check_*", DUNM_CHECK,
                                        [this](duPlugin aPlugin, const duNotify& aNotify) {
                                            OnCheckRow(aPlugin, aNotify.wParam != 0);
                                        });
}

void TfrmMailListView::Init()
{
    if (FInited)
        return;
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "邮件列表窗体初始化");
    FAccountMailObserver = MakeRc<TAccountMailObserver>(*this);
    if (TAccountMailManager* mails = TAccountMailManager::AccountMailManager())
        mails->RegisterObserver(FAccountMailObserver.Get());
    FWorker = std::make_unique<TFormWorker>(*this);
    FLoader = std::make_unique<TMailListLoader>(*this, Lister());

    FEmbeddedReceiveMail = CreateHtmlView(FBrowserHwndobj);
    FEmbeddedReceiveMail->SetOnRemoteBlocked([this] { FPicturesBar.SetVisible(true); });
    FEmbeddedReceiveMail->SetOnMailto(
        [this](const std::string&) { ShowMissingWindow("写邮件窗口还在建设中，请先用 quillmar-cli send 发送邮件。"); });

    FMailListView = MakeRc<TRcDuListView>(&DuWindow(), "mailListView_mailListListbox");
    FMailListView->SetRowSelectedStyle("ml_row_selected");
    FMailListAdapter = MakeRc<TRcMailListAdapter>(*this);
    FMailListAdapter->SetListView(FMailListView.Get());
    FMailListAdapter->FOnRowSelected = [this](TRcResPath* aPath) { OnRowSelected(aPath); };
    FMailListAdapter->FOnRowDoubleClicked = [this](TRcResPath* aPath) { OnRowDoubleClicked(aPath); };
    FMailListView->SetAdapter(FMailListAdapter.Get());

    FMaillRelateListtView = MakeRc<TRcDuListView>(&DuWindow(), "listboxex_receive_mail_list_panel_link_mail");
    FMaillRelateListtView->SetRowSelectedStyle("ml_related_row_selected");
    FMaillRelateListtViewAdapter = MakeRc<TRcMailRelateListAdapter>();
    FMaillRelateListtViewAdapter->FOnRowSelected = [this](TRcResPath* aPath) {
        // Shown in the pane; the list keeps its own selection.
        TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(aPath);
        OnGui([this, path] {
            if ((!DetailResPath() || !DetailResPath()->Equals(path.Get())))
                ShowDetail(path.Get());
        });
    };
    FMaillRelateListtView->SetAdapter(FMaillRelateListtViewAdapter.Get());
    FPicturesBar.SetVisible(false);
    FInited = true;
    *FAlive = true;
    ShowNoDetail();
}

void TfrmMailListView::UnInit()
{
    if (!FInited)
        return;
    FInited = false;
    *FAlive = false;
    if (TAccountMailManager* mails = TAccountMailManager::AccountMailManager())
        mails->UnregisterObserver(FAccountMailObserver.Get());
    FLoader.reset();
    FWorker.reset();
    if (FMailListView)
        FMailListView->Clear();
    if (FMaillRelateListtView)
        FMaillRelateListtView->Clear();
    FMailListAdapter = nullptr;
    FMaillRelateListtViewAdapter = nullptr;
    FEmbeddedReceiveMail.reset();
    ReplaceComplex(nullptr);
}

void TfrmMailListView::SetCurrAccountResPath(TRcResPath* aValue)
{
    if (aValue == FCurrAccountResPath.Get() || (aValue && FCurrAccountResPath && aValue->Equals(FCurrAccountResPath.Get())))
        return;
    FCurrAccountResPath = TRcRef<TRcResPath>::Retain(aValue);
    if (TAccountManager* accounts = TAccountManager::AccountManager())
        if (TRcAccount* account = aValue ? accounts->GetAccount(aValue) : nullptr)
            SetCaption("邮件 - " + account->Email());
    // Another account's mails: the search of the last one does not apply.
    FCurrentRightListOpertion->FSubjectContainText.clear();
    FCurrentRightListOpertion->FFromContainText.clear();
    FCurrentRightListOpertion->FToContainText.clear();
    FToolBarSearchEdit.SetText("");
    FCurrentRightListMode = mrlmNone;
    SwitchMode(mrlmReceive);
}

TRcResPath* TfrmMailListView::CurrentFolder() const
{
    const auto type = FolderTypeOfMode(FCurrentRightListMode);
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    if (!type || !FCurrAccountResPath || !folders)
        return nullptr;
    return folders->GetStandardFolderResPath(FCurrAccountResPath.Get(), *type);
}

void TfrmMailListView::SwitchMode(TMainRightListMode aMode)
{
    if (!FInited)
        return;
    FCurrentRightListMode = aMode;
    static const std::pair<const char*, TMainRightListMode> kButtons[] = {{"MailInboxBoxButton", mrlmReceive},
                                                                          {"MailDrafBoxButton", mrlmDrafts},
                                                                          {"MailOutBoxBoxButton", mrlmSended},
                                                                          {"MailThrashBagBoxButton", mrlmTrash}};
    for (const auto& [name, mode] : kButtons)
        GetDuPluginByName(name).SetChecked(mode == aMode);
    const bool incoming = aMode == mrlmReceive || aMode == mrlmTrash;
    FMailListAdapter->SetShowRecipient(!incoming);
    FMailListAdapter->SetShowSourceLanguage(incoming);
    ShowDetail(nullptr);
    ReloadList(true);
}

void TfrmMailListView::Search(const std::string& aText)
{
    const std::string text = Trimmed(aText);
    FCurrentRightListOpertion->FSubjectContainText = text;
    FCurrentRightListOpertion->FFromContainText = text;
    FCurrentRightListOpertion->FToContainText = text;
    ShowDetail(nullptr);
    ReloadList(true);
}

void TfrmMailListView::SetSortMode(TGetMailsOpertionSortMode aMode)
{
    FCurrentRightListOpertion->FSortMode = aMode;
    ShowDetail(nullptr);
    ReloadList(true);
}

void TfrmMailListView::ReloadList(bool aByUser)
{
    if (!FInited)
        return;
    TRcResPath* folder = CurrentFolder();
    FListed = false;
    std::string keepId;
    int keepRow = -1;
    if (!aByUser && DetailResPath()) {
        keepId = DetailResPath()->Last()->Id();
        keepRow = std::max(FMailListAdapter->IndexOf(keepId), FMailListView->SelectedRow());
    }
    if (!folder) {
        RefreshCounts();
        FLoader->Cancel();
        FMailListAdapter->SetList(nullptr, nullptr, true);
        FListed = true;
        ShowStatus();
        ShowDetail(nullptr);
        return;
    }
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TMailFilter filter(FCurrentRightListOpertion.Get());
    if (aByUser && mails) {
        // The first screen at once. With a search text the first matches
        // may be anywhere in the folder: the worker finds them.
        TRcResIdList* first = filter.Empty()
                                  ? mails->GetFirstMails(folder, FCurrentRightListOpertion.Get(),
                                                         TRcMailListAdapter::kRowsAtOnce)
                                  : nullptr;
        FMailListAdapter->SetList(folder, first, false);
        if (FMailListAdapter->Count() > 0)
            SelectRow(0);
    }
    ShowStatus();
    // The worker starts after the first screen: they share the account's
    // database connection. The counts follow once the list is there.
    TRcRef<TRcResPath> listed = TRcRef<TRcResPath>::Retain(folder);
    FLoader->Load(folder, FCurrentRightListOpertion.Get(), [this, listed, aByUser, keepId, keepRow](TRcResIdList* aMails) {
        if (FInited && CurrentFolder() && CurrentFolder()->Equals(listed.Get()))
            OnWholeList(aMails, aByUser, keepId, keepRow);
    });
}

void TfrmMailListView::OnWholeList(TRcResIdList* aMails, bool aByUser, const std::string& aKeepId, int aKeepRow)
{
    // The mail in the pane now: the user may have chosen another one while
    // the listing ran.
    std::string selectedId = aKeepId;
    if (DetailResPath())
        selectedId = DetailResPath()->Last()->Id();
    const int scrolledRow = FMailListView->SelectedRow();
    FMailListAdapter->SetList(CurrentFolder(), aMails, true);
    FListed = true;
    ShowStatus();
    RefreshCounts();
    const int count = FMailListAdapter->Count();
    int row = selectedId.empty() ? -1 : FMailListAdapter->IndexOf(selectedId);
    if (row < 0 && !aByUser && aKeepRow >= 0 && count > 0)
        row = std::min(aKeepRow, count - 1);   // the mail shown went: its neighbour
    if (row < 0 && aByUser && count > 0 && (scrolledRow >= 0 || !DetailResPath()))
        row = 0;
    if (row >= 0)
        SelectRow(row);
    else if (count == 0 || !aKeepId.empty())
        ShowDetail(nullptr);
    if (FOnListed)
        FOnListed();
}

void TfrmMailListView::SelectRow(int aRow)
{
    FMailListView->SelectWithGroupAndRow(-1, aRow);
}

void TfrmMailListView::ShowStatus()
{
    if (!CurrentFolder()) {
        FStatusLabel.SetText("");
        return;
    }
    if (!FListed) {
        const bool searching = !TMailFilter(FCurrentRightListOpertion.Get()).Empty();
        FStatusLabel.SetText(searching ? "正在搜索..." : "正在加载...");
        return;
    }
    const int count = FMailListAdapter->Count();
    FStatusLabel.SetText(count == 0 ? std::string(TMailFilter(FCurrentRightListOpertion.Get()).Empty()
                                                      ? "这个文件夹里没有邮件"
                                                      : "没有找到匹配的邮件")
                                    : FormatText("共 %d 封", {count}));
}

void TfrmMailListView::OnGui(std::function<void()> aBlock)
{
    AppendDelayBlock([alive = FAlive, block = std::move(aBlock)] {
        if (*alive)
            block();
    });
}

void TfrmMailListView::QueueReload()
{
    if (FReloadQueued)
        return;
    FReloadQueued = true;
    // After the other changes already queued: a burst is one reload.
    OnGui([this] {
        FReloadQueued = false;
        ReloadList(false);
    });
}

bool TfrmMailListView::Belongs(TRcResPath* aPath) const
{
    TRcResPath* folder = CurrentFolder();
    if (!folder || !aPath)
        return false;
    if (aPath->Equals(folder))
        return true;
    TRcResPath* parent = aPath->Count() == 3 ? aPath->ParentPath() : nullptr;
    return parent && parent->Equals(folder);
}

void TfrmMailListView::RefreshCounts()
{
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    if (!FWorker || !folders)
        return;
    const int generation = ++FCountGeneration;
    std::vector<TRcRef<TRcResPath>> paths;
    for (TAccountFolderType type : kCountedFolders)
        paths.push_back(TRcRef<TRcResPath>::Retain(
            FCurrAccountResPath ? folders->GetStandardFolderResPath(FCurrAccountResPath.Get(), type) : nullptr));
    auto opertion = MakeRc<TGetMailsOpertion>();
    opertion->FSubjectContainText = FCurrentRightListOpertion->FSubjectContainText;
    opertion->FFromContainText = FCurrentRightListOpertion->FFromContainText;
    opertion->FToContainText = FCurrentRightListOpertion->FToContainText;
    FWorker->Post([this, generation, paths, opertion]() -> TFormWorker::TShow {
        TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
        std::vector<int> counts;
        for (const auto& path : paths)
            counts.push_back(mails && path ? mails->GetNotReadedMailCount(path.Get(), opertion.Get()) : 0);
        return [this, generation, counts] {
            if (generation != FCountGeneration)
                return;
            const duPlugin labels[4] = {FInboxBoxNotReadedMailcount, FMailDrafNotReadedMailcount,
                                        FMailOutBoxNotReadedMailcount, FMailThrashNotReadedMailcount};
            for (std::size_t i = 0; i < 4; ++i) {
                FCountText[i] = counts[i] > 0 ? FormatText("(%d)", {counts[i]}) : std::string();
                labels[i].SetText(FCountText[i]);
            }
        };
    });
}

std::string TfrmMailListView::CountText(TAccountFolderType aFolder) const
{
    for (std::size_t i = 0; i < 4; ++i)
        if (kCountedFolders[i] == aFolder)
            return FCountText[i];
    return {};
}

void TfrmMailListView::OnRowSelected(TRcResPath* aPath)
{
    if (!aPath || (DetailResPath() && DetailResPath()->Equals(aPath)))
        return;
    ShowDetail(aPath);
}

void TfrmMailListView::OnRowDoubleClicked(TRcResPath* aPath)
{
    if (!aPath)
        return;
    if (FCurrentRightListMode == mrlmDrafts)
        ShowMissingWindow("写邮件窗口还在建设中，草稿暂时只能在这里查看。");
    else
        ShowMissingWindow("邮件阅读窗口还在建设中，邮件内容显示在右侧。");
}

void TfrmMailListView::ReplaceComplex(TRcMailComplex* aComplex)
{
    TRcRef<TRcMailComplex> old = std::move(FCurrentRightListDetailCurrentMailComplex);
    FCurrentRightListDetailCurrentMailComplex = TRcRef<TRcMailComplex>::Retain(aComplex);
    // Its page is no longer shown; its working files would otherwise stay
    // in the run folder until the program ends.
    if (old && old.Get() != aComplex)
        old->RemoveWorkingFiles();
}

void TfrmMailListView::ShowNoDetail()
{
    FCurrentRightListDetailResPath = nullptr;
    FCurrentRightListDetailCurrentMail = nullptr;
    FRightMaillayout.SetVisible(false);
    FRightMailNoListLayout.SetVisible(true);
    if (FEmbeddedReceiveMail)
        FEmbeddedReceiveMail->Clear();
    ReplaceComplex(nullptr);
    if (FMaillRelateListtViewAdapter)
        FMaillRelateListtViewAdapter->SetMails(nullptr);
}

void TfrmMailListView::ShowDetail(TRcResPath* aMailResPath)
{
    if (!FInited)
        return;
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TRcMail* mail = mails && aMailResPath && FolderTypeOfMode(FCurrentRightListMode) ? mails->GetMail(aMailResPath)
                                                                                       : nullptr;
    if (!mail) {
        ShowNoDetail();
        return;
    }
    TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(aMailResPath);
    FCurrentRightListDetailResPath = path;
    FCurrentRightListDetailCurrentMail = TRcRef<TRcMail>::Retain(mail);
    FRightMailNoListLayout.SetVisible(false);
    FRightMaillayout.SetVisible(true);

    TRcMailComplex* complex = nullptr;
    try {
        complex = mails->LoadMailComplex(path.Get(), true);
    } catch (const std::exception& e) {
        TLog::O(lolWorn, "邮件内容不能读取：%s", {e.what()});
    }
    const std::string subject = mail->FSubject.empty() ? "(无主题)" : mail->FSubject;
    FRightTopEmailSubjectLab.SetText(subject);
    FRightTopEmailSubjectLab.SetTooltip(subject);
    const int attachments = complex ? complex->AttachmentFileList()->Count() : 0;
    FRightTopEmailAttachment.SetVisible(attachments > 0);
    FRightTopEmailAttachment.SetText(FormatText("%d 个附件", {attachments}));
    const bool incoming = FCurrentRightListMode == mrlmReceive || FCurrentRightListMode == mrlmTrash;
    const std::string language =
        mail->FNorvelUid.empty() ? std::string() : LanguageImage(incoming ? mail->FSourceLanguage : mail->FTargetLanguage);
    FBtnRightTopEmailTranslation.SetVisible(!language.empty());
    FBtnRightTopEmailTranslation.SetImage(language);
    // To the minute: seconds and milliseconds say nothing to a reader.
    FBtnRightTopEmailDate.SetText(mail->FDate > 0 ? FormatDateTimeIso(mail->FDate).substr(0, 16) : std::string());
    FFromLabel.SetText("发件人：" + PaneAddress(mail->FFrom) + "    收件人：" + PaneAddress(mail->FTo));
    FFromLabel.SetTooltip("发件人：" + mail->FFrom + "\n收件人：" + mail->FTo);
    // Only a mail that came through the translation service can go back to it.
    FReTranslationBtn.SetVisible(FCurrentRightListMode == mrlmReceive && !mail->FReTranslation &&
                                 !mail->FNorvelUid.empty());
    FPicturesBar.SetVisible(false);
    if (complex)
        FEmbeddedReceiveMail->ShowMail(complex);
    else
        FEmbeddedReceiveMail->Clear();
    ReplaceComplex(complex);
    ShowRelated(path.Get());

    if (FCurrentRightListMode == mrlmReceive && complex && !mail->FReceiptSend &&
        !ReadReceiptAddress(complex).empty())
        // Asked once the pane shows the mail, not inside the list's click.
        OnGui([this, path] {
            if (DetailResPath() && DetailResPath()->Equals(path.Get()))
                AnswerReadReceipt(path.Get());
        });
    if (!mail->FSeenFlag)
        mails->SetMailReadedFlag(path.Get(), true);
}

void TfrmMailListView::ShowRelated(TRcResPath* aMailResPath)
{
    FMaillRelateListtViewAdapter->SetMails(nullptr);
    FBottomMailRelateLayout.SetVisible(false);
    TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(aMailResPath);
    FWorker->Post([this, path]() -> TFormWorker::TShow {
        TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
        // The other mails: the one shown is in the pane already.
        auto others = MakeRc<TRcResPathList>();
        if (TRcResPathList* related = mails ? mails->GetRelateMailsOfMail(path.Get()) : nullptr)
            for (TRcResPath* mail : *related)
                if (!mail->Equals(path.Get()))
                    others->Add(mail);
        return [this, path, others] {
            if (!DetailResPath() || !DetailResPath()->Equals(path.Get()))
                return;   // another mail is shown by now
            const int count = others->Count();
            FMaillRelateListtViewAdapter->SetMails(count > 0 ? others.Get() : nullptr);
            FBottomMailRelateLayout.SetVisible(count > 0);
            // The title line, then up to three rows; more scroll.
            FBottomMailRelateLayout.SetHeight(24 + 29 * std::clamp(count, 1, 3));
        };
    });
}

void TfrmMailListView::AnswerReadReceipt(TRcResPath* aMailResPath)
{
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TRcMail* mail = mails ? mails->GetMail(aMailResPath) : nullptr;
    TRcMailComplex* complex = FCurrentRightListDetailCurrentMailComplex.Get();
    if (!mail || mail->FReceiptSend || !complex)
        return;
    const std::string address = ReadReceiptAddress(complex);
    if (address.empty())
        return;
    const bool yes = AskYesNo(GetMessageText("SendReceiptMsg"), GetMessageText("SendReceiptTitle")) == mrYes;
    // Asked once, whatever the answer.
    mails->SetMailReceiptFlag(aMailResPath, true);
    if (!yes)
        return;
    TReadReceiptTexts texts;
    texts.Subject = GetMessageText("ReceiptSubject");
    texts.MailTitle = GetMessageText("ReceiptMailTitle");
    texts.SourceSubject = GetMessageText("ReceiptSorceSubiect");
    texts.Memo = GetMessageText("ReceiptMemo");
    // The receipt names the mail that was read (its In-Reply-To would name
    // another mail, which the sender's program could not match).
    const std::string messageId = mail->FMessageId;
    try {
        QueueReadReceipt(AccountResPathOf(aMailResPath), texts, mail->FSubject, messageId, address, Now());
    } catch (const std::exception& e) {
        Tell(std::string("已读回执没有发出：") + e.what(), GetMessageText("SendReceiptTitle"), 16);
        return;
    }
    if (TServerDriver* driver = TServerDriver::ServerDriver())
        driver->PrioritySend(AccountResPathOf(aMailResPath));
    ShowProgress();
}

std::vector<TRcRef<TRcResPath>> TfrmMailListView::SelectedMails() const
{
    std::vector<TRcRef<TRcResPath>> paths = FMailListAdapter ? FMailListAdapter->CheckedPaths()
                                                             : std::vector<TRcRef<TRcResPath>>{};
    if (paths.empty() && DetailResPath())
        paths.push_back(FCurrentRightListDetailResPath);
    return paths;
}

void TfrmMailListView::DeleteSelected()
{
    const auto paths = SelectedMails();
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    if (paths.empty() || !mails)
        return;
    if (AskYesNo(GetMessageText("DeleteMailMsg"), GetMessageText("DeleteMailTitle")) != mrYes)
        return;
    FMailListAdapter->ClearChecked();
    // One change of the folder, one reload, however many mails.
    mails->BeginUpdate();
    try {
        for (const auto& path : paths)
            mails->DeleteMail(path.Get());
    } catch (const std::exception& e) {
        mails->EndUpdate();
        Tell(std::string("删除邮件失败：") + e.what(), GetMessageText("DeleteMailTitle"), 16);
        return;
    }
    mails->EndUpdate();
}

void TfrmMailListView::SetReadedOfSelected(bool aReaded)
{
    const auto paths = SelectedMails();
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    if (paths.empty() || !mails)
        return;
    mails->BeginUpdate();
    for (const auto& path : paths)
        mails->SetMailReadedFlag(path.Get(), aReaded);
    mails->EndUpdate();
}

void TfrmMailListView::MoveSelected(TAccountFolderType aFolder)
{
    const auto paths = SelectedMails();
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* target = folders && FCurrAccountResPath
                             ? folders->GetStandardFolderResPath(FCurrAccountResPath.Get(), aFolder)
                             : nullptr;
    if (paths.empty() || !mails || !target || (CurrentFolder() && CurrentFolder()->Equals(target)))
        return;
    auto list = MakeRc<TRcResPathList>();
    for (const auto& path : paths)
        list->Add(path.Get());
    FMailListAdapter->ClearChecked();
    try {
        mails->MoveMails(list.Get(), target);
    } catch (const std::exception& e) {
        Tell(std::string("移动邮件失败：") + e.what(), "移动邮件", 16);
    }
}

void TfrmMailListView::ExportEmlOfDetail()
{
    if (!DetailResPath())
        return;
    TRcRef<TRcResPath> path = FCurrentRightListDetailResPath;
    const std::filesystem::path folder = ChooseFolder("选择导出文件夹");
    if (folder.empty())
        return;
    try {
        const auto written = ExportMailAsEml(path.Get(), folder);
        TLog::O(lolInfo, "邮件已导出：%s", {written.string()});
    } catch (const std::exception& e) {
        Tell(std::string("导出邮件失败：") + e.what(), "导出邮件", 16);
    }
}

void TfrmMailListView::ExportAttachmentsOfDetail()
{
    TRcMailComplex* complex = FCurrentRightListDetailCurrentMailComplex.Get();
    if (!complex || complex->AttachmentFileList()->Count() == 0)
        return;
    TRcRef<TRcMailComplex> keep = FCurrentRightListDetailCurrentMailComplex;
    const std::filesystem::path folder = ChooseFolder("选择保存附件的文件夹");
    if (folder.empty())
        return;
    int saved = 0;
    std::string failures;
    for (TRcMailComplexAttachmentFile* file : *keep->AttachmentFileList()) {
        try {
            SaveAttachmentAs(file->FFileName, folder, file->FRealFileName);
            ++saved;
        } catch (const std::exception& e) {
            failures.append("\n").append(file->FRealFileName).append("：").append(e.what());
        }
    }
    if (!failures.empty())
        Tell(FormatText("已保存 %d 个附件，以下附件没有保存：%s", {saved, failures}), "保存附件", 48);
}

void TfrmMailListView::ImportEml()
{
    TRcResPath* folder = CurrentFolder();
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    if (!folder || !mails)
        return;
    TRcRef<TRcResPath> target = TRcRef<TRcResPath>::Retain(folder);
    const auto files = ChooseImportFiles("选择导入的文件");
    if (files.empty())
        return;
    std::string failures;
    mails->BeginUpdate();
    for (const auto& file : files) {
        try {
            if (!mails->ImportMailFromFile(target.Get(), file))
                failures.append("\n").append(file.filename().string()).append("：文件不存在");
        } catch (const std::exception& e) {
            failures.append("\n").append(file.filename().string()).append("：").append(e.what());
        }
    }
    mails->EndUpdate();
    if (!failures.empty())
        Tell("以下文件没有导入：" + failures, "导入邮件", 48);
}

void TfrmMailListView::PrintDetail(bool aPreview)
{
    TRcMailComplex* complex = FCurrentRightListDetailCurrentMailComplex.Get();
    if (!complex)
        return;
    TFrmEmailPrint& print = TFrmEmailPrint::Instance();
    print.SetMailComplex(complex);
    if (aPreview)
        print.Preview(this);
    else
        print.Print(this);
    print.SetMailComplex(nullptr);
}

void TfrmMailListView::ReceiveNow()
{
    TServerDriver* driver = TServerDriver::ServerDriver();
    if (!FCurrAccountResPath || !driver)
        return;
    ShowProgress();
    driver->PriorityReceive(FCurrAccountResPath.Get());
    driver->PrioritySend(FCurrAccountResPath.Get());
}

void TfrmMailListView::OnCheckRow(const duPlugin& aPlugin, bool aChecked)
{
    try {
        auto* data = dynamic_cast<TRcMailRowData*>(FMailListView->DataByRowPluginChild(aPlugin));
        if (data)
            FMailListAdapter->SetChecked(data->ResPath(), aChecked);
    } catch (const std::exception&) {
        // A clone between rows: nothing to tick.
    }
}

void TfrmMailListView::OnListContext(const duPlugin& aRow)
{
    if (aRow) {
        try {
            if (TRcDuListViewData* data = FMailListView->DataByRowPluginChild(aRow))
                if (data->FRow >= 0 && data->FRow != FMailListView->SelectedRow())
                    SelectRow(data->FRow);
        } catch (const std::exception&) {
        }
    }
    TrackPopupMenuAtCursor("mailListView_popupmenu1");
}

int TfrmMailListView::AskYesNo(const std::string& aText, const std::string& aCaption)
{
    return ShowWarnWnd(aText, aCaption, 4, 32);
}

void TfrmMailListView::Tell(const std::string& aText, const std::string& aCaption, int aIcon)
{
    ShowWarnWnd(aText, aCaption, 0, aIcon);
}

std::filesystem::path TfrmMailListView::ChooseFolder(const std::string& aTitle)
{
    return SelectFolderDialog(this, aTitle);
}

std::vector<std::filesystem::path> TfrmMailListView::ChooseImportFiles(const std::string& aTitle)
{
    return OpenFilesDialog(this, aTitle, "邮件文件 (*.eml)");
}

void TfrmMailListView::ShowMissingWindow(const std::string& aText)
{
    ShowWarnWnd(aText, "提示", 0, 64);
}

void TfrmMailListView::ShowProgress()
{
    if (gShowProgress)
        gShowProgress();
}
