// The progress window hears a receive job from the scheduler's thread and
// shows it in order on its own; errors bring the window up; cancel asks
// first.
#include "Utils/DemoForm.h"

#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include "Runtime/AutoReleasePool.h"
#include "Ui/FrmSendReceivePressInfo.h"
#include "Ui/Utils/MessageText.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class TTestProgress : public TfrmSendReceivePressInfo {
public:
    bool Answer = false;
    int Asked = 0, Cancelled = 0;

protected:
    bool ConfirmCancel() override
    {
        ++Asked;
        return Answer;
    }
    void CancelBatch() override { ++Cancelled; }
};

class FrmSendReceivePressInfoTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseProductSkin();
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        // As the client does: the skin layer's texts from the configuration.
        SetMessageTextProvider([](const std::string& aKey) {
            const std::string text = TConfigManager::ConfigManager()->GetMsg(aKey);
            return text.empty() ? aKey : text;
        });
        auto account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail("sales@example.com");
        account->SetName("Sales");
        TAccountManager::AccountManager()->SaveAccount(account.Get());
        FAccount = TRcRef<TRcResId>::Retain(account->ResId());
        FForm = TDuForm::New<TTestProgress>();
    }
    void TearDown() override
    {
        FForm.reset();
        SetMessageTextProvider({});
        FManagers.reset();
    }
    // Events as the scheduler's thread sends them.
    void FromScheduler(const std::function<void(IMailSendReciveObserver&)>& aEvents)
    {
        std::thread scheduler([&] { aEvents(*FForm->Observer()); });
        scheduler.join();
        ProcessEvents();
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-progress"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcResId> FAccount;
    std::unique_ptr<TTestProgress> FForm;
};

TEST_F(FrmSendReceivePressInfoTest, AReceiveJobShowsInOrder)
{
    FForm->Show();
    FromScheduler([&](IMailSendReciveObserver& o) {
        o.ProcessBegin();
        o.TaskBegin(7, "接收邮件");
        o.ActivityBegin(7, "POP3 接收", FAccount.Get());
        o.TaskUpdateInfo(7, "服务器上有 2 封新邮件");
        o.MailSwitch(7, 2, mskReceiving, 1);
        o.MailUpdateDesc(7, "Inquiry: valves");
        o.MailProgress(7, "", 10 * 1024, 40 * 1024);
    });
    EXPECT_EQ(FForm->MainText(), "接收邮件");
    EXPECT_EQ(FForm->DetailText(), "共2封，正在处理第1封：Inquiry: valves");
    EXPECT_EQ(FForm->Progress(), 25);
    EXPECT_EQ(FForm->SpeedText(), "10.0 KB / 40.0 KB");
    ASSERT_EQ(FForm->InfoLines().size(), 1u);
    EXPECT_NE(FForm->InfoLines()[0].find(" Sales 服务器上有 2 封新邮件"), std::string::npos) << FForm->InfoLines()[0];

    FromScheduler([&](IMailSendReciveObserver& o) {
        o.MailSwitch(7, 2, mskReceiving, 2);
        o.TaskOccurError(7, "连接中断");
        o.ActivityEnd(7);
        o.TaskEnd(7);
        o.ProcessEnd();
    });
    ASSERT_EQ(FForm->ErrorLines().size(), 1u);
    EXPECT_NE(FForm->ErrorLines()[0].find(" - 接收邮件 - 共2封，正在处理第2封 ：连接中断"), std::string::npos)
        << FForm->ErrorLines()[0];
    EXPECT_EQ(FForm->MainText(), "收发过程中出现错误，请查看错误列表");
    EXPECT_TRUE(FForm->IsVisible()) << "an error keeps the window up";

    // A clean run clears everything and the window goes.
    FromScheduler([&](IMailSendReciveObserver& o) {
        o.ProcessBegin();
        o.TaskBegin(8, "接收邮件");
        o.TaskEnd(8);
        o.ProcessEnd();
    });
    EXPECT_TRUE(FForm->ErrorLines().empty());
    EXPECT_FALSE(FForm->IsVisible());
}

TEST_F(FrmSendReceivePressInfoTest, AnErrorBringsTheWindowUpAndCancelAsksFirst)
{
    EXPECT_FALSE(FForm->IsVisible());
    FromScheduler([&](IMailSendReciveObserver& o) {
        o.ProcessBegin();
        o.OccurError("账户密码错误");
    });
    EXPECT_TRUE(FForm->IsVisible());
    EXPECT_EQ(FForm->ErrorLines().size(), 1u);

    FForm->GetDuPluginByName("sr_button_cancel").Click();
    EXPECT_EQ(FForm->Asked, 1);
    EXPECT_EQ(FForm->Cancelled, 0) << "no means no";
    FForm->Answer = true;
    FForm->GetDuPluginByName("sr_button_cancel").Click();
    EXPECT_EQ(FForm->Cancelled, 1);
    EXPECT_EQ(FForm->DuWindow().UnknownRegisteredNames(), std::vector<std::string>{});
}

TEST(FrmSendReceivePressInfoSizeTest, BytesReadAsPeopleReadThem)
{
    EXPECT_EQ(TfrmSendReceivePressInfo::SizeText(512), "512 B");
    EXPECT_EQ(TfrmSendReceivePressInfo::SizeText(1536), "1.5 KB");
    EXPECT_EQ(TfrmSendReceivePressInfo::SizeText(20 * 1024 * 1024), "20.0 MB");
}

} // namespace
