// The mail window of the current account: the folders with their unread
// counts, the search box and the sort order, the list of mails, and the
// reading pane with the selected mail, its markers and the mails exchanged
// with the same correspondent. From here mails are read, marked, moved,
// deleted, exported, imported, printed, and read receipts answered.
//
// Nothing slow runs on the GUI thread: a folder's first screen of rows is
// read at once, the whole listing, the rows below it, the related mails and
// the unread counts come from workers, and whatever arrives for a listing
// that is no longer shown is dropped.
#pragma once

#include "MailListAdapter.h"
#include "MailListLoader.h"
#include "MailRelateListAdapter.h"

#include "Ui/Utils/DuForm.h"
#include "Ui/Utils/DuListView.h"
#include "Ui/Utils/FormWorker.h"
#include "Ui/Utils/HtmlView.h"

#include "Business/Account/AccountFolder.h"
#include "Business/AccountMail/GetMailsOpertion.h"
#include "Business/AccountMail/Mail.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/RcRef.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TRcMailComplex;

enum TMainRightListMode { mrlmNone, mrlmReceive, mrlmDrafts, mrlmSend, mrlmSended, mrlmTrash, mrlmTemplate };

// The standard folder of a mail mode (modes 1 to 5), else none.
std::optional<TAccountFolderType> FolderTypeOfMode(TMainRightListMode aMode);

class TfrmMailListView : public TDuForm {
public:
    static constexpr const char* kWindowName = "frmMailListView_wnd";

    // The one window, made on first use: shows aResPath's mail (its inbox
    // when the account changes) and brings the window up. Nothing for nil.
    static TfrmMailListView* ShowFrm(TRcResPath* aResPath);
    static TfrmMailListView* Instance();
    static void FreeInstance();
    // What shows the send/receive progress (the program's progress window).
    static void SetShowProgressProc(std::function<void()> aProc);

    TfrmMailListView();
    ~TfrmMailListView() override;

    // After Create: hears the account mail, makes the lists and the view.
    void Init();
    void UnInit();

    // A new account shows its inbox; the same one changes nothing.
    void SetCurrAccountResPath(TRcResPath* aValue);
    TRcResPath* CurrAccountResPath() const { return FCurrAccountResPath.Get(); }
    void SwitchMode(TMainRightListMode aMode);
    TMainRightListMode Mode() const { return FCurrentRightListMode; }
    // The folder shown (nil outside the mail modes or without an account).
    TRcResPath* CurrentFolder() const;

    // The trimmed text is searched in subject, sender and recipient.
    void Search(const std::string& aText);
    void SetSortMode(TGetMailsOpertionSortMode aMode);
    const TGetMailsOpertion& ListOpertion() const { return *FCurrentRightListOpertion; }

    // The mail in the reading pane, if any.
    TRcResPath* DetailResPath() const { return FCurrentRightListDetailResPath.Get(); }
    TRcMail* DetailMail() const { return FCurrentRightListDetailCurrentMail.Get(); }
    // Shows that mail in the reading pane (nil: none), marks it read and
    // answers a read receipt it asks for.
    void ShowDetail(TRcResPath* aMailResPath);

    // The ticked mails, else the one in the reading pane.
    std::vector<TRcRef<TRcResPath>> SelectedMails() const;
    // Asks first; one change of the folder for all of them.
    void DeleteSelected();
    void SetReadedOfSelected(bool aReaded);
    void MoveSelected(TAccountFolderType aFolder);
    void ExportEmlOfDetail();
    void ExportAttachmentsOfDetail();
    void ImportEml();
    void PrintDetail(bool aPreview);
    // Receives and sends the current account's mail now.
    void ReceiveNow();

    // Whether the whole listing of the folder shown has arrived.
    bool IsListed() const { return FListed; }
    // Hears each listing shown whole (benchmarks, tests).
    void SetOnListed(std::function<void()> aProc) { FOnListed = std::move(aProc); }
    TRcDuListView* MailListView() const { return FMailListView.Get(); }
    TRcMailListAdapter* MailListAdapter() const { return FMailListAdapter.Get(); }
    TRcMailRelateListAdapter* RelateListAdapter() const { return FMaillRelateListtViewAdapter.Get(); }
    IHtmlView* View() const { return FEmbeddedReceiveMail.get(); }
    // Unread counts shown on the folder buttons once counted.
    std::string CountText(TAccountFolderType aFolder) const;

protected:
    std::string GetDuWindowName() const override { return kWindowName; }
    void BindingDuPlugin() override;
    void RegisterDuPlugin() override;

    // The dialogs: tests answer them.
    virtual int AskYesNo(const std::string& aText, const std::string& aCaption);
    virtual void Tell(const std::string& aText, const std::string& aCaption, int aIcon);
    virtual std::filesystem::path ChooseFolder(const std::string& aTitle);
    virtual std::vector<std::filesystem::path> ChooseImportFiles(const std::string& aTitle);
    // A window that is not built yet: a message box says so.
    virtual void ShowMissingWindow(const std::string& aText);
    virtual void ShowProgress();
    // How the worker lists a folder (by default the account mail manager).
    virtual TMailListLoader::TLister Lister() { return {}; }

private:
    class TAccountMailObserver;

    // Lists the folder again. A user's change (another folder, a search, a
    // sort) shows the first screen at once and selects the first mail; a
    // change from elsewhere keeps the list and the reading pane until the
    // new listing is there, then selects the same mail again.
    void ReloadList(bool aByUser);
    void OnWholeList(TRcResIdList* aMails, bool aByUser, const std::string& aKeepId, int aKeepRow);
    void SelectRow(int aRow);
    void RefreshCounts();
    void ShowStatus();
    void ShowNoDetail();
    void OnRowSelected(TRcResPath* aPath);
    void OnRowDoubleClicked(TRcResPath* aPath);
    void AnswerReadReceipt(TRcResPath* aMailResPath);
    void ShowRelated(TRcResPath* aMailResPath);
    void OnCheckRow(const duPlugin& aPlugin, bool aChecked);
    void OnListContext(const duPlugin& aRow);
    void ReplaceComplex(TRcMailComplex* aComplex);
    // Folder-level changes from elsewhere, gathered into one reload.
    void QueueReload();
    // Runs aBlock on the form's thread while the window is in use (the
    // form's queue may still run blocks as the form is torn down).
    void OnGui(std::function<void()> aBlock);
    bool Belongs(TRcResPath* aPath) const;

    duPlugin FRightMaillayout, FRightMailNoListLayout, FRightTopEmailSubjectLab, FRightTopEmailAttachment,
        FBtnRightTopEmailTranslation, FBtnRightTopEmailDate, FToolBarSearchEdit, FBottomMailRelateLayout,
        FBrowserHwndobj, FInboxBoxNotReadedMailcount, FMailDrafNotReadedMailcount, FMailOutBoxNotReadedMailcount,
        FMailThrashNotReadedMailcount, FReTranslationBtn, FFromLabel, FStatusLabel, FPicturesBar;

    TRcRef<TRcResPath> FCurrAccountResPath;
    TRcRef<TRcResPath> FCurrentRightListDetailResPath;
    TRcRef<TGetMailsOpertion> FCurrentRightListOpertion;
    TMainRightListMode FCurrentRightListMode = mrlmNone;
    TRcRef<TRcDuListView> FMailListView;
    TRcRef<TRcMailListAdapter> FMailListAdapter;
    TRcRef<TRcDuListView> FMaillRelateListtView;
    TRcRef<TRcMailRelateListAdapter> FMaillRelateListtViewAdapter;
    TRcRef<TRcMail> FCurrentRightListDetailCurrentMail;
    TRcRef<TRcMailComplex> FCurrentRightListDetailCurrentMailComplex;
    std::unique_ptr<IHtmlView> FEmbeddedReceiveMail;
    TRcRef<TAccountMailObserver> FAccountMailObserver;
    std::unique_ptr<TMailListLoader> FLoader;
    std::unique_ptr<TFormWorker> FWorker;
    std::function<void()> FOnListed;
    std::string FCountText[4];
    int FCountGeneration = 0;
    bool FListed = false;
    bool FReloadQueued = false;
    bool FInited = false;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(false);
};
