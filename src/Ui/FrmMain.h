// The main window: the small launcher the client shows after start-up. It
// shows the current account and its unread count, switches accounts, opens
// the other windows, and owns the tray icon: its close button hides it to
// the tray (or minimises it where the desktop has no tray, so the program
// can never become unreachable).
#pragma once

#include "FrmMainCutUser.h"

#include "Ui/Utils/DuForm.h"
#include "Ui/Utils/DuTrayIcon.h"

#include "Business/Resource/ResPath.h"
#include "Runtime/RcRef.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TfrmMain : public TDuForm {
public:
    static constexpr const char* kWindowName = "mail_main_wnd";
    static constexpr const char* kCaption = "Quillmar客户端V4.0.0";

    TfrmMain();
    ~TfrmMain() override;

    // Once, after the form is made: brings the stored data up to date, hears
    // the accounts and their mail, chooses the current account, starts each
    // account's automatic receive and send, and queues the start-up check.
    // False when the data could not be brought up to date (the rest still
    // runs; the caller ends the program).
    bool Init();
    void UnInit();

    // The current account (a one-element path), or nothing.
    TRcResPath* CurrAccountResPath() const { return FCurrAccountResPath.Get(); }
    // Chooses the current account: aWanted, else the configured default if
    // it still exists, else the first account; every listener hears it.
    void ChooseCurrAccount(TRcResPath* aWanted = nullptr);
    // Makes aPath current and stores it as the default account (what the
    // account chooser's choice does).
    void ChangeCurrAccount(TRcResPath* aPath);
    // The other main windows hear the current account here, each once per change.
    void AddCurrAccountListener(std::function<void(TRcResPath*)> aListener);

    void ShowAccountLabel();
    void ShowMailCount();
    // Opens the account chooser under the switch button.
    void OpenAccountChooser();
    TFrmMainCutUser* AccountChooser() const { return FChooser.get(); }

    // Whether closing hides to the tray (false: it minimises).
    bool HidesToTray() const;
    // Quits the program (the tray menu's "退出").
    void SetOnQuit(std::function<void()> aProc) { FOnQuit = std::move(aProc); }
    // The start-up update check: called once after start with what to do
    // next (false: no update was started). Without it there is none.
    using TUpdateProcess = std::function<void(std::function<void(bool aStarted)> aThen)>;
    void SetUpdateProcess(TUpdateProcess aProc) { FUpdateProcess = std::move(aProc); }
    // Shows the send/receive progress (the tray menu's "立即收发邮件").
    void SetOnShowProgress(std::function<void()> aProc) { FOnShowProgress = std::move(aProc); }
    // Receives and sends the current account's mail now, before the
    // scheduler's next round.
    void ReceiveAndSendNow();

protected:
    std::string GetDuWindowName() const override { return kWindowName; }
    void BindingDuPlugin() override;
    void RegisterDuPlugin() override;
    // A window that is not built yet: a message box says so.
    virtual void ShowMissingWindow(const std::string& aText);
    // The mail window of the current account.
    virtual void ShowMailWindow();

private:
    class TAccountObserver;
    class TAccountMailObserver;

    void OnCloseButton();
    void ShowFromTray();
    void DeferredStartupCheck();

    duPlugin FLabMailCount2, FLabMailCount3, FLabMailAccountName, FButtonChange;
    TRcRef<TRcResPath> FCurrAccountResPath;
    TRcRef<TAccountObserver> FAccountObserver;
    TRcRef<TAccountMailObserver> FAccountMailObserver;
    std::vector<std::function<void(TRcResPath*)>> FCurrAccountListeners;
    std::unique_ptr<TDuTrayIcon> FTray;
    std::unique_ptr<TFrmMainCutUser> FChooser;
    std::function<void()> FOnQuit;
    TUpdateProcess FUpdateProcess;
    std::function<void()> FOnShowProgress;
    bool FInited = false;
};
