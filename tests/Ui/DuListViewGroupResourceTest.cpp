// Groups from the resource manager: an account's folders as groups (with a
// pseudo group before and after them) and each folder's mails as its rows.
#include "Utils/DemoForm.h"

#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include "Business/Data/WholeFile.h"
#include "Runtime/AutoReleasePool.h"
#include "Ui/Utils/DuListView.h"
#include "Ui/Utils/DuListViewGroupResourceAdapter.h"

#include <gtest/gtest.h>

namespace {

class TFolderAdapter : public TRcDuListViewGroupResourceAdapter {
public:
    TFolderAdapter() : TRcDuListViewGroupResourceAdapter("demo_chip_", "demo_row_") {}
    std::vector<std::string> Groups;
    void UpdateGroup(int aGroup, TRcDuListViewData* aData) override
    {
        TRcDuListViewGroupResourceAdapter::UpdateGroup(aGroup, aData);
        auto* data = static_cast<TRcDuListViewGroupResourceData*>(aData);
        if (!data->FPlugin)
            Groups.push_back((data->ResPath() ? data->ResPath()->Last()->Id() : std::string("-")) + ":" +
                             std::to_string(data->GetRowCount()));
    }
};

TEST(DuListViewGroupResourceTest, FoldersWithTheirMailsBetweenPseudoGroups)
{
    TRetainCountObjectAutoReleasePool pool;
    TScratchFolder scratch("qm-groups");
    UseTestSkin();
    TAccountManagers managers(scratch.Path());
    auto account = TAccountManager::AccountManager()->CreateNewAccount();
    account->SetEmail("sales@example.com");
    TAccountManager::AccountManager()->SaveAccount(account.Get());
    TRcResPath* accountPath = TRcResPath::CreateAndAutoRelease({account->ResId()});
    TRcResPath* inbox = TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(accountPath, aftInBox);
    for (int i = 0; i < 2; ++i) {
        const auto file = scratch.Path() / ("m" + std::to_string(i) + ".eml");
        WriteWholeFile(file, "From: a@example.com\r\nSubject: Inquiry\r\n\r\nHello\r\n");
        TAccountMailManager::AccountMailManager()->ImportMailFromFile(inbox, file);
    }

    auto form = TDuForm::New<TDemoForm>();
    auto list = MakeRc<TRcDuListView>(&form->DuWindow(), "demo_list");
    auto adapter = MakeRc<TFolderAdapter>();
    adapter->SetGroupResPath(accountPath);
    adapter->SetGroupResType(rtAccountMailFolder);
    adapter->SetRowResType(rtAccountMail);
    TRcResIdList* top = TRcResIdList::CreateAndAutoRelease();
    top->Add(TRcResId::CreateAndAutoRelease(rtAccountMailFolder, "TOP"));
    TRcResIdList* bottom = TRcResIdList::CreateAndAutoRelease();
    bottom->Add(TRcResId::CreateAndAutoRelease(rtAccountMailFolder, "BOTTOM"));
    adapter->SetGroupTopResIdList(top);
    adapter->SetGroupBottomResIdList(bottom);
    list->SetAdapter(adapter.Get());
    adapter->NotifyResChanged();

    // Receiving, inbox, drafts, sending, out box, trash between the two.
    ASSERT_EQ(adapter->Groups.size(), 8u);
    EXPECT_EQ(adapter->Groups.front(), "TOP:0");
    EXPECT_EQ(adapter->Groups.back(), "BOTTOM:0");
    EXPECT_EQ(adapter->Groups[2], inbox->Last()->Id() + ":2");
    TRcDuListViewData* mail = list->DataByGroupAndRow(2, 1);
    ASSERT_NE(mail, nullptr);
    auto* resource = static_cast<TRcDuListViewResourceData*>(mail);
    ASSERT_NE(resource->ResPath(), nullptr);
    EXPECT_EQ(resource->ResPath()->Count(), 3) << "account, folder, mail";
    list->Clear();
}

} // namespace
