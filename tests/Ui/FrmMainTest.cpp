// The main window over real account and mail managers: the current account
// and how the chooser switches it, the unread count as mail arrives and is
// read, no accounts at all, and closing that never loses the window.
#include "Utils/DemoForm.h"

#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include "Business/Data/WholeFile.h"
#include "Runtime/AutoReleasePool.h"
#include "Ui/FrmMain.h"
#include "Ui/Utils/DuTrayIcon.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class TTestMain : public TfrmMain {
public:
    std::vector<std::string> Missing;

protected:
    void ShowMissingWindow(const std::string& aText) override { Missing.push_back(aText); }
};

class FrmMainTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseProductSkin();
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
    }
    void TearDown() override
    {
        FForm.reset();
        ProcessEvents();
        FManagers.reset();
    }

    TRcResPath* Account(const std::string& aEmail)
    {
        auto account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail(aEmail);
        account->SetNickname("Nick of " + aEmail);
        TAccountManager::AccountManager()->SaveAccount(account.Get());
        return TRcResPath::CreateAndAutoRelease({account->ResId()});
    }
    TTestMain& Start()
    {
        FForm = TDuForm::New<TTestMain>();
        EXPECT_TRUE(FForm->Init());
        FForm->Show();
        ProcessEvents();
        return *FForm;
    }
    std::string Text(const char* aPlugin) { return FForm->GetDuPluginByName(aPlugin).GetText(); }
    // A mail in the account's inbox, unread.
    TRcResPath* Receive(TRcResPath* aAccount, int aNumber)
    {
        const auto file = FScratch.Path() / ("m" + std::to_string(aNumber) + ".eml");
        WriteWholeFile(file, "From: a@example.com\r\nTo: b@example.com\r\nSubject: Inquiry " + std::to_string(aNumber) +
                                 "\r\n\r\nHello\r\n");
        TRcResPath* inbox = TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(aAccount, aftInBox);
        TRcResPath* mail = TAccountMailManager::AccountMailManager()->ImportMailFromFile(inbox, file);
        TAccountMailManager::AccountMailManager()->SetMailReadedFlag(mail, false);
        return mail;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-main"};
    std::unique_ptr<TAccountManagers> FManagers;
    std::unique_ptr<TTestMain> FForm;
};

TEST_F(FrmMainTest, EveryPluginTheWindowsBindOrRegisterIsInTheSkin)
{
    TTestMain& form = Start();
    EXPECT_EQ(form.DuWindow().UnknownRegisteredNames(), std::vector<std::string>{});
    auto chooser = TDuForm::New<TFrmMainCutUser>();
    EXPECT_EQ(chooser->DuWindow().UnknownRegisteredNames(), std::vector<std::string>{});
}

TEST_F(FrmMainTest, WithoutAccountsTheWindowSaysSoAndPointsTheWay)
{
    TTestMain& form = Start();
    EXPECT_EQ(form.CurrAccountResPath(), nullptr);
    EXPECT_EQ(Text("lab_mail_main_account"), "暂无账户");
    EXPECT_EQ(Text("lab_mail_main_mailcount"), "");
    ASSERT_EQ(form.Missing.size(), 1u);
    EXPECT_NE(form.Missing[0].find("quillmar-cli account add"), std::string::npos);
    // A window not built yet answers with a message, never a crash.
    form.GetDuPluginByName("btn_main_p_product").Click();
    ProcessEvents();
    EXPECT_EQ(form.Missing.size(), 2u);
}

TEST_F(FrmMainTest, TheChooserSwitchesTheAccountAndEveryListenerHearsItOnce)
{
    TRcResPath* first = Account("sales@example.com");
    TRcResPath* second = Account("export@example.com");
    TConfigManager::ConfigManager()->SetDefaultAccountId(second->Last());
    TTestMain& form = Start();
    ASSERT_NE(form.CurrAccountResPath(), nullptr);
    EXPECT_TRUE(form.CurrAccountResPath()->Equals(second)) << "the configured default";
    EXPECT_EQ(Text("lab_mail_main_account"), "export@example.com");
    EXPECT_EQ(form.GetDuPluginByName("lab_mail_main_account").GetTooltip(), "Nick of export@example.com : export@example.com");
    EXPECT_TRUE(form.Missing.empty());

    std::vector<std::string> heardA, heardB;
    form.AddCurrAccountListener([&](TRcResPath* aPath) { heardA.push_back(aPath ? aPath->Last()->Id() : ""); });
    form.AddCurrAccountListener([&](TRcResPath* aPath) { heardB.push_back(aPath ? aPath->Last()->Id() : ""); });

    form.GetDuPluginByName("btn_mail_main_change").Click();
    ProcessEvents();
    TFrmMainCutUser* chooser = form.AccountChooser();
    ASSERT_NE(chooser, nullptr);
    ASSERT_EQ(chooser->ListView()->ItemCount(), 2);
    std::vector<std::string> rows;
    chooser->ListView()->ForEachRow([&](int, int, TRcDuListViewData* aData) {
        rows.push_back(aData->ChildPlugin("frmMainCutUser_name_").GetText() +
                       (aData->ChildPlugin("frmMainCutUser_Checked_").IsChecked() ? " ✓" : ""));
    });
    EXPECT_EQ(rows, (std::vector<std::string>{"sales@example.com", "export@example.com ✓"}));
    if (const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR")) {
        form.SaveScreenshot(std::string(dir) + "/quillmar-main-window.png");
        chooser->SaveScreenshot(std::string(dir) + "/quillmar-account-chooser.png");
    }

    // The user picks the first row.
    chooser->ListView()->SelectWithGroupAndRow(-1, 0);
    ProcessEvents();
    EXPECT_FALSE(chooser->IsVisible());
    ASSERT_NE(form.CurrAccountResPath(), nullptr);
    EXPECT_TRUE(form.CurrAccountResPath()->Equals(first));
    EXPECT_EQ(Text("lab_mail_main_account"), "sales@example.com");
    EXPECT_EQ(heardA, std::vector<std::string>{first->Last()->Id()});
    EXPECT_EQ(heardB, heardA);
    EXPECT_TRUE(TConfigManager::ConfigManager()->DefaultAccountId()->Equals(first->Last()));
}

TEST_F(FrmMainTest, TheUnreadCountFollowsMailArrivingAndBeingRead)
{
    TRcResPath* account = Account("sales@example.com");
    TTestMain& form = Start();
    ASSERT_TRUE(form.CurrAccountResPath() && form.CurrAccountResPath()->Equals(account));
    EXPECT_EQ(Text("lab_mail_main_mailcount"), "0封未读");
    EXPECT_EQ(Text("lab_mail_main_Label2"), "邮件");
    std::vector<TRcRef<TRcResPath>> mails;
    for (int i = 0; i < 3; ++i)
        mails.push_back(TRcRef<TRcResPath>::Retain(Receive(account, i)));
    ProcessEvents();
    EXPECT_EQ(Text("lab_mail_main_mailcount"), "3封未读");
    TAccountMailManager::AccountMailManager()->SetMailReadedFlag(mails[1].Get(), true);
    ProcessEvents();
    EXPECT_EQ(Text("lab_mail_main_mailcount"), "2封未读");
}

TEST_F(FrmMainTest, ClosingNeverLosesTheWindow)
{
    Account("sales@example.com");
    TTestMain& form = Start();
    form.GetDuPluginByName("btn_mail_main_Close").Click();
    ProcessEvents();
    if (form.HidesToTray()) {
        EXPECT_FALSE(form.IsVisible());
    } else {
        // No tray here: the window stays reachable, minimised.
        EXPECT_FALSE(TDuTrayIcon::IsAvailable());
        EXPECT_TRUE(form.IsVisible());
    }
    form.Close();   // the window system's close button: the same
    ProcessEvents();
    EXPECT_EQ(form.IsVisible(), !form.HidesToTray());
}

} // namespace
