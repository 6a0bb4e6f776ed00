// The mail window over real account and mail managers and the product's
// skin: the first screen and the rows the worker fills, folders switched
// while a slow listing runs, mail arriving while the list is open, search,
// delete as one change, export and import, unsafe attachment names, read
// receipts and blocked pictures.
#include "../Utils/CountingHttpServer.h"
#include "../Utils/DemoForm.h"

#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/WholeFile.h"
#include "Runtime/AutoReleasePool.h"
#include "Ui/Mail/FrmMailListView.h"
#include "Ui/Utils/MessageText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include <sys/stat.h>

namespace {

bool PumpUntil(const std::function<bool()>& aDone, int aMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!aDone()) {
        if (timer.elapsed() > aMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void PumpFor(int aMs)
{
    PumpUntil([] { return false; }, aMs);
}

class TTestMailList : public TfrmMailListView {
public:
    std::vector<std::string> Asked, Told, Missing;
    int Answer = mrYes;
    std::filesystem::path Folder;
    std::vector<std::filesystem::path> ImportFiles;
    // Listing the folder with this id takes its time.
    std::string SlowFolderId;
    int Listed = 0;

protected:
    int AskYesNo(const std::string& aText, const std::string&) override
    {
        Asked.push_back(aText);
        return Answer;
    }
    void Tell(const std::string& aText, const std::string&, int) override { Told.push_back(aText); }
    std::filesystem::path ChooseFolder(const std::string&) override { return Folder; }
    std::vector<std::filesystem::path> ChooseImportFiles(const std::string&) override { return ImportFiles; }
    void ShowMissingWindow(const std::string& aText) override { Missing.push_back(aText); }
    void ShowProgress() override {}
    TMailListLoader::TLister Lister() override
    {
        return [this](TRcResPath* aFolder, const TGetMailsOpertion* aOpertion) {
            if (!SlowFolderId.empty() && aFolder->Last()->Id() == SlowFolderId)
                std::this_thread::sleep_for(std::chrono::milliseconds(700));
            return TRcRef<TRcResIdList>::Retain(TAccountMailManager::AccountMailManager()->GetMails(aFolder, aOpertion));
        };
    }
};

class FrmMailListViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseProductSkin();
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        SetMessageTextProvider([](const std::string& aKey) { return TConfigManager::ConfigManager()->GetMsg(aKey); });
        auto account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail("me@example.com");
        account->SetName("Me");
        TAccountManager::AccountManager()->SaveAccount(account.Get());
        FAccount = TRcRef<TRcResPath>::Retain(TRcResPath::CreateAndAutoRelease({account->ResId()}));
    }
    void TearDown() override
    {
        if (FForm)
            FForm->UnInit();
        FForm.reset();
        ProcessEvents();
        SetMessageTextProvider({});
        FManagers.reset();
    }

    TRcResPath* Folder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(FAccount.Get(), aType);
    }
    TAccountMailManager& Mails() { return *TAccountMailManager::AccountMailManager(); }

    // A stored mail; aExtra is put into the header, aBody is the whole body
    // part (headers and content) when given.
    TRcResPath* Store(TAccountFolderType aFolder, const std::string& aSubject, int aDay, const std::string& aExtra = {},
                      const std::string& aBody = {})
    {
        const auto file = FScratch.Path() / ("in" + std::to_string(++FFiles) + ".eml");
        char date[64];
        std::snprintf(date, sizeof date, "Date: Mon, %d Jan 2024 10:00:00 +0000\r\n", aDay);
        WriteWholeFile(file, "From: Customer <buyer@example.com>\r\nTo: me@example.com\r\n" + std::string(date) +
                                 "Subject: " + aSubject + "\r\nMIME-Version: 1.0\r\n" + aExtra +
                                 (aBody.empty() ? "Content-Type: text/plain; charset=utf-8\r\n\r\nHello\r\n" : aBody));
        TRcResPath* mail = Mails().ImportMailFromFile(Folder(aFolder), file);
        Mails().SetMailReadedFlag(mail, false);
        return mail;
    }
    TTestMailList& Open()
    {
        FForm = TDuForm::New<TTestMailList>();
        FForm->Init();
        FForm->SetOnListed([this] { ++FForm->Listed; });
        FForm->Show();
        return *FForm;
    }
    void WaitListed()
    {
        ASSERT_TRUE(PumpUntil([this] { return FForm->IsListed(); }));
        PumpFor(50);
    }
    // The subjects the list's clones show now, top to bottom.
    std::vector<std::string> ShownSubjects()
    {
        std::vector<std::string> subjects;
        FForm->MailListView()->ForEachRow([&](int, int, TRcDuListViewData* aData) {
            subjects.push_back(aData->ChildPlugin("button_tabpage_mail_receive_list_title_").GetText());
        });
        return subjects;
    }
    std::string Subject(TRcResPath* aMail) { return Mails().GetMail(aMail)->FSubject; }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-maillist"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcResPath> FAccount;
    std::unique_ptr<TTestMailList> FForm;
    int FFiles = 0;
};

TEST_F(FrmMailListViewTest, EveryPluginTheWindowBindsOrRegistersIsInTheSkin)
{
    TTestMailList& form = Open();
    EXPECT_EQ(form.DuWindow().UnknownRegisteredNames(), std::vector<std::string>{});
    for (const char* name :
         {"mailListView_mailListListbox", "mailListView_mailListListbox_items_", "mailListViewRightlayout",
          "mailListViewRightlayout_no_list", "InboxBoxNotReadedMailcount", "MailDrafNotReadedMailcount",
          "MailOutBoxNotReadedMailcount", "MailThrashNotReadedMailcount", "mailListViewMailcountLayout",
          "lab_mailListViewRighttopSubject", "btn_mailListViewRighttopAttachment", "btn_Language_Translate",
          "lab_Mailsender_Time", "toolbarSearchEdit", "layout_mail_list_panel_mail_content_hwndobj",
          "layout_receive_mail_list_panel_link_mail_back", "hwndobj_mail_list_panel_receive_mail_content",
          "mailListViewContentlayout", "btn_frmMailListViewReNorvel", "lab_mailListView_from",
          "lab_mailListView_status", "layout_mailListView_pictures", "btn_mailListView_show_pictures",
          "listboxex_receive_mail_list_panel_link_mail", "layout_receive_mail_list_panel_link_mail_",
          "static_receive_mail_list_mail_Subject_", "static_receive_mail_list_mailSummary_",
          "static_tabpage_mail_receive_list_sender_name_", "static_tabpage_mail_receive_list_sender_Time_",
          "button_tabpage_mail_receive_list_title_", "btn_tabpage_mail_receive_list_relevance_",
          "checkBox_tabpage_mail_list_Check_", "button_tabpage_mail_receive_list_attachment_",
          "button_tabpage_mail_receive_list_translation_", "btn_MailList_read_", "btn_tabpage_mail_Translation_list_",
          "lab_mail_list_inflight_"})
        EXPECT_TRUE(form.GetDuPluginByName(name)) << name;
    for (const char* menu : {"mailListView_popupmenu1", "mail_menu"})
        EXPECT_TRUE(form.DuWindow().PopupMenu(menu)) << menu;
    for (const char* image : {"mail_read", "mail_unread", "English_language", "Arabic_language"}) {
        form.GetDuPluginByName("btn_MailList_read_").SetImage(image);
        EXPECT_EQ(form.GetDuPluginByName("btn_MailList_read_").GetImage(), image);
    }
}

TEST_F(FrmMailListViewTest, TheFirstScreenShowsAtOnceAndTheWorkerFillsTheRest)
{
    for (int i = 1; i <= 25; ++i)
        Store(aftInBox, "Offer " + std::to_string(i), i);
    TTestMailList& form = Open();
    form.SetCurrAccountResPath(FAccount.Get());
    // Before the event loop has run: the newest ten rows, read at once, and
    // the newest mail in the pane.
    ASSERT_EQ(form.MailListAdapter()->Count(), TRcMailListAdapter::kRowsAtOnce);
    EXPECT_FALSE(form.IsListed());
    ASSERT_TRUE(form.DetailMail());
    EXPECT_EQ(form.DetailMail()->FSubject, "Offer 25");
    EXPECT_EQ(form.GetDuPluginByName("lab_mailListViewRighttopSubject").GetText(), "Offer 25");
    EXPECT_TRUE(form.MailListView()->DataByGroupAndRow(-1, 0));

    WaitListed();
    EXPECT_EQ(form.MailListAdapter()->Count(), 25);
    EXPECT_EQ(form.GetDuPluginByName("lab_mailListView_status").GetText(), "共 25 封");
    // The pane's mail was read; the others not, and the inbox counts them.
    EXPECT_TRUE(PumpUntil([&] { return form.CountText(aftInBox) == "(24)"; })) << form.CountText(aftInBox);

    // The last rows: "正在加载..." until the worker has read them.
    form.MailListView()->SelectWithGroupAndRow(-1, 24);
    auto* last = dynamic_cast<TRcMailRowData*>(form.MailListView()->DataByGroupAndRow(-1, 24));
    ASSERT_TRUE(last);
    EXPECT_TRUE(PumpUntil([&] {
        auto* row = dynamic_cast<TRcMailRowData*>(form.MailListView()->DataByGroupAndRow(-1, 24));
        return row && row->ChildPlugin("button_tabpage_mail_receive_list_title_").GetText() == "Offer 1";
    }));
    EXPECT_GT(form.MailListAdapter()->RowsReadByWorker(), 0);
    for (const std::string& subject : ShownSubjects())
        EXPECT_NE(subject, TRcMailListAdapter::kLoadingText);
}

TEST_F(FrmMailListViewTest, SwitchingFoldersDuringASlowListingShowsOnlyTheNewFolder)
{
    for (int i = 1; i <= 30; ++i)
        Store(aftInBox, "Inbox mail " + std::to_string(i), i);
    Store(aftThrashBag, "Trash mail", 3);
    TTestMailList& form = Open();
    form.SlowFolderId = Folder(aftInBox)->Last()->Id();
    form.SetCurrAccountResPath(FAccount.Get());
    PumpFor(100);   // the inbox's whole listing is on its way
    EXPECT_FALSE(form.IsListed());
    form.SwitchMode(mrlmTrash);
    WaitListed();
    PumpFor(900);   // long enough for the inbox's listing to arrive late
    EXPECT_EQ(form.Mode(), mrlmTrash);
    EXPECT_EQ(form.MailListAdapter()->Count(), 1);
    EXPECT_EQ(ShownSubjects(), std::vector<std::string>{"Trash mail"});
    EXPECT_EQ(form.DetailMail()->FSubject, "Trash mail");
}

TEST_F(FrmMailListViewTest, MailArrivingWhileTheListIsOpenAppearsOnceAndLeavesTheReaderAlone)
{
    for (int i = 1; i <= 3; ++i)
        Store(aftInBox, "Old " + std::to_string(i), i);
    TTestMailList& form = Open();
    form.SetCurrAccountResPath(FAccount.Get());
    WaitListed();
    // The user reads the second mail.
    form.MailListView()->SelectWithGroupAndRow(-1, 1);
    TRcRef<TRcResPath> reading = TRcRef<TRcResPath>::Retain(form.DetailResPath());
    ASSERT_EQ(Subject(reading.Get()), "Old 2");
    const int listed = form.Listed;

    // The scheduler stores a batch of two on its own thread.
    std::thread receiver([this] {
        TRetainCountObjectAutoReleasePool pool;
        Mails().BeginUpdate();
        Store(aftInBox, "New arrival", 20);
        Store(aftInBox, "Second arrival", 21);
        Mails().EndUpdate();
    });
    receiver.join();
    ASSERT_TRUE(PumpUntil([&] { return form.MailListAdapter()->Count() == 5 && form.IsListed(); }));
    PumpFor(200);
    EXPECT_EQ(form.Listed, listed + 1);   // one reload for the batch
    const auto shown = ShownSubjects();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "New arrival"), 1);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Second arrival"), 1);
    // Read elsewhere (another window, the command-line tool): the row
    // follows at once.
    TRcResPath* first = Folder(aftInBox)->Append(TRcResId::CreateAndAutoRelease(
        rtAccountMail, form.MailListAdapter()->PathOfRow(0)->Last()->Id()));
    ASSERT_EQ(Subject(first), "Second arrival");
    std::thread reader([this, path = TRcRef<TRcResPath>::Retain(first)] {
        TRetainCountObjectAutoReleasePool pool;
        Mails().SetMailReadedFlag(path.Get(), true);
    });
    reader.join();
    EXPECT_TRUE(PumpUntil([&] {
        TRcDuListViewData* row = form.MailListView()->DataByGroupAndRow(-1, 0);
        return row && row->ChildPlugin("btn_MailList_read_").GetImage() == "mail_read";
    }));
    Mails().SetMailReadedFlag(first, false);

    // Still reading the same mail; the new ones stay unread (of the old,
    // the two shown were read).
    EXPECT_TRUE(form.DetailResPath()->Equals(reading.Get()));
    EXPECT_EQ(form.MailListView()->SelectedRow(), form.MailListAdapter()->IndexOf(reading->Last()->Id()));
    EXPECT_EQ(Mails().GetNotReadedMailCount(Folder(aftInBox)), 3);
}

TEST_F(FrmMailListViewTest, SearchMatchesAsTheMailManagerDoesAndTheCountsFollow)
{
    Store(aftInBox, "=?UTF-8?B?" + std::string("R3LDtsOfZSDDhFBGRUwgb2ZmZXI=") + "?=", 1);   // "Größe ÄPFEL offer"
    Store(aftInBox, "Bananas", 2);
    Store(aftInBox, "Apfelkuchen", 3);
    Store(aftThrashBag, "Old äpfel", 4);
    TTestMailList& form = Open();
    form.SetCurrAccountResPath(FAccount.Get());
    WaitListed();
    form.Search("  äpfel ");
    EXPECT_EQ(form.ListOpertion().FSubjectContainText, "äpfel");
    EXPECT_EQ(form.ListOpertion().FFromContainText, "äpfel");
    EXPECT_EQ(form.ListOpertion().FToContainText, "äpfel");
    WaitListed();
    auto opertion = MakeRc<TGetMailsOpertion>();
    opertion->FSubjectContainText = opertion->FFromContainText = opertion->FToContainText = "äpfel";
    EXPECT_EQ(form.MailListAdapter()->Count(), Mails().GetMails(Folder(aftInBox), opertion.Get())->Count());
    EXPECT_EQ(ShownSubjects(), std::vector<std::string>{"Größe ÄPFEL offer"});
    // The mail shown was read: the inbox has no unread match left; the trash one.
    EXPECT_TRUE(PumpUntil([&] { return form.CountText(aftInBox).empty() && form.CountText(aftThrashBag) == "(1)"; }));

    form.Search("nothing like this");
    WaitListed();
    EXPECT_EQ(form.MailListAdapter()->Count(), 0);
    EXPECT_EQ(form.GetDuPluginByName("lab_mailListView_status").GetText(), "没有找到匹配的邮件");
    EXPECT_FALSE(form.DetailResPath());
}

TEST_F(FrmMailListViewTest, DeletingTickedMailsIsOneChangeAndWithoutTicksOnlyTheShownMail)
{
    for (int i = 1; i <= 6; ++i)
        Store(aftInBox, "Mail " + std::to_string(i), i);
    TTestMailList& form = Open();
    form.SetCurrAccountResPath(FAccount.Get());
    WaitListed();
    for (int row : {1, 2, 4}) {
        duPlugin box = form.MailListView()->DataByGroupAndRow(-1, row)->ChildPlugin("checkBox_tabpage_mail_list_Check_");
        box.Click();
    }
    const int listed = form.Listed;
    form.Answer = mrNo;
    form.DeleteSelected();
    EXPECT_EQ(Mails().GetMails(Folder(aftInBox))->Count(), 6);
    form.Answer = mrYes;
    form.DeleteSelected();
    EXPECT_EQ(form.Asked, (std::vector<std::string>{"确定要删除选中的邮件吗？", "确定要删除选中的邮件吗？"}));
    ASSERT_TRUE(PumpUntil([&] { return form.MailListAdapter()->Count() == 3 && form.IsListed(); }));
    PumpFor(200);
    EXPECT_EQ(form.Listed, listed + 1);
    std::set<std::string> trash;
    for (TRcResId* id : *Mails().GetMails(Folder(aftThrashBag)))
        trash.insert(Mails().GetMail(Folder(aftThrashBag)->Append(id))->FSubject);
    EXPECT_EQ(trash, (std::set<std::string>{"Mail 5", "Mail 4", "Mail 2"}));

    // No ticks: only the mail in the pane.
    const std::string shown = form.DetailMail()->FSubject;
    form.DeleteSelected();
    ASSERT_TRUE(PumpUntil([&] { return form.MailListAdapter()->Count() == 2 && form.IsListed(); }));
    EXPECT_EQ(Mails().GetMails(Folder(aftThrashBag))->Count(), 4);
    EXPECT_NE(form.DetailMail()->FSubject, shown);
}

TEST_F(FrmMailListViewTest, ExportThenImportGivesTheSameMailAndAttachmentsAreSavedSafely)
{
    const std::string body =
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
        "<p>Price list 价格表</p>\r\n--b\r\nContent-Type: application/x-sh\r\n"
        "Content-Disposition: attachment; filename=\"../../x.sh\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "IyEvYmluL3NoCmVjaG8gcHduZWQK\r\n--b--\r\n";
    Store(aftInBox, "Quotation Q-7", 5, {}, body);
    TTestMailList& form = Open();
    form.SetCurrAccountResPath(FAccount.Get());
    WaitListed();
    ASSERT_EQ(form.DetailMail()->FSubject, "Quotation Q-7");
    EXPECT_TRUE(form.GetDuPluginByName("btn_mailListViewRighttopAttachment").IsVisible());

    const auto out = FScratch.Path() / "exported";
    std::filesystem::create_directories(out);
    form.Folder = out;
    form.ExportEmlOfDetail();
    form.ExportEmlOfDetail();
    EXPECT_TRUE(std::filesystem::exists(out / "Quotation Q-7.eml"));
    EXPECT_TRUE(std::filesystem::exists(out / "Quotation Q-7 (1).eml"));

    form.SwitchMode(mrlmDrafts);
    WaitListed();
    form.ImportFiles = {out / "Quotation Q-7.eml", FScratch.Path() / "missing.eml"};
    form.ImportEml();
    ASSERT_TRUE(PumpUntil([&] { return form.MailListAdapter()->Count() == 1 && form.IsListed(); }));
    ASSERT_EQ(form.Told.size(), 1u);   // the missing file, named
    EXPECT_NE(form.Told[0].find("missing.eml"), std::string::npos);
    form.MailListView()->SelectWithGroupAndRow(-1, 0);
    TRcMail* imported = form.DetailMail();
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->FSubject, "Quotation Q-7");
    EXPECT_EQ(imported->FFrom, "Customer <buyer@example.com>");
    TRcMailComplex* complex = Mails().LoadMailComplex(form.DetailResPath(), false);
    EXPECT_NE(complex->HtmlBody()->ReadHtmlContent().find("价格表"), std::string::npos);
    complex->RemoveWorkingFiles();

    // The attachment: inside the chosen folder, under a safe name, twice
    // without overwriting, never executable.
    const auto saved = FScratch.Path() / "saved";
    std::filesystem::create_directories(saved);
    form.Folder = saved;
    form.ExportAttachmentsOfDetail();
    form.ExportAttachmentsOfDetail();
    EXPECT_TRUE(std::filesystem::exists(saved / "x.sh"));
    EXPECT_TRUE(std::filesystem::exists(saved / "x (1).sh"));
    EXPECT_FALSE(std::filesystem::exists(FScratch.Path() / "x.sh"));
    struct stat info {};
    ASSERT_EQ(::stat((saved / "x.sh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0111, 0u);
}

TEST_F(FrmMailListViewTest, AReadReceiptIsAskedOnceAndQueuedForSending)
{
    Store(aftInBox, "Please confirm", 2, "Disposition-Notification-To: Buyer <buyer@example.com>\r\n");
    TTestMailList& form = Open();
    form.SetCurrAccountResPath(FAccount.Get());
    WaitListed();
    ASSERT_TRUE(PumpUntil([&] { return !form.Asked.empty(); }));
    EXPECT_EQ(form.Asked, std::vector<std::string>{"发件人要求发送已读回执，是否发送？"});
    TRcResPathList* queued = Mails().GetSendingFolderMails(FAccount.Get(), {msarsSendToSmtp});
    ASSERT_EQ(queued->Count(), 1);
    TRcMail* receipt = Mails().GetMail(queued->GetItem(0));
    EXPECT_EQ(receipt->FSubject, "已读回执：Please confirm");
    EXPECT_NE(receipt->FTo.find("buyer@example.com"), std::string::npos);

    // Shown again: not asked again.
    form.SwitchMode(mrlmTrash);
    form.SwitchMode(mrlmReceive);
    WaitListed();
    PumpFor(200);
    EXPECT_EQ(form.Asked.size(), 1u);
}

TEST_F(FrmMailListViewTest, AMailThatMayHaveGoneOutShowsItsMarker)
{
    TRcResPath* sure = Store(aftDraft, "Draft", 1);
    TRcResPath* unsure = Store(aftDraft, "Cut off after the data", 2);
    Mails().SetMailSendReceiveState(unsure, msarsSendInFlight);
    TTestMailList& form = Open();
    form.SetCurrAccountResPath(FAccount.Get());
    form.SwitchMode(mrlmDrafts);
    WaitListed();
    std::map<std::string, bool> marked;
    form.MailListView()->ForEachRow([&](int, int, TRcDuListViewData* aData) {
        marked[aData->ChildPlugin("button_tabpage_mail_receive_list_title_").GetText()] =
            aData->ChildPlugin("lab_mail_list_inflight_").IsVisible();
    });
    EXPECT_EQ(marked, (std::map<std::string, bool>{{Subject(sure), false}, {Subject(unsure), true}}));
}

TEST_F(FrmMailListViewTest, RemotePicturesStayBlockedUntilAsked)
{
    TCountingHttpServer server;
    const std::string html = "<p>Catalogue</p><img src=\"" + server.Base() + "/pixel.png\">";
    Store(aftInBox, "Catalogue", 2, {}, "Content-Type: text/html; charset=utf-8\r\n\r\n" + html + "\r\n");
    TTestMailList& form = Open();
    form.SetCurrAccountResPath(FAccount.Get());
    WaitListed();
    duPlugin bar = form.GetDuPluginByName("layout_mailListView_pictures");
    ASSERT_TRUE(PumpUntil([&] { return bar.IsVisible(); }));
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_FALSE(form.View()->ShowPictures());
    form.GetDuPluginByName("btn_mailListView_show_pictures").Click();
    EXPECT_FALSE(bar.IsVisible());
    EXPECT_TRUE(PumpUntil([&] { return !server.Paths().empty(); }));
}

} // namespace
