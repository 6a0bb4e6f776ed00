// Address-book groups: what each operation on groups leaves behind, what
// it refuses, and who hears of it.
#include "ContactsFixture.h"

#include "Business/Resource/ResourceManager.h"
#include "Runtime/Errors.h"

#include <functional>

namespace {

struct TGroupWorld {
    TRcResPath* Buyers;   // holds one card
    TRcResPath* Agents;   // empty
    TRcResPath* BuyerCard;
};

struct TGroupCase {
    const char* Name;
    std::function<void(TGroupWorld&)> Act;
    std::string Error;                     // the refusal, "" for none
    std::vector<std::string> Events;       // {Buyers}, {Agents} stand for their ids
    std::vector<std::string> GroupsAfter;  // names in creation order
};

TAccountAddressBookGroupManager* Groups()
{
    return TAccountAddressBookGroupManager::AccountAddressBookGroupManager();
}

void Rename(TRcResPath* aGroup, const std::string& aName)
{
    TRcAddressBookGroup* group = Groups()->GetAddressBookGroup(aGroup);
    group->FName = aName;
    Groups()->SaveAddressBookGroup(aGroup->ParentPath(), group);
}

void Create(TRcResPath* aFolder, const std::string& aName)
{
    TRcAddressBookGroup* group = Groups()->CreateAddressBookGroup();
    group->FName = aName;
    group->FCreatetime = 9;
    Groups()->SaveAddressBookGroup(aFolder, group);
}

const TGroupCase kGroupCases[] = {
    {"a new group is listed last and changes the folder",
     [](TGroupWorld& w) { Create(w.Buyers->ParentPath(), "Suppliers"); }, "", {"changed folder"},
     {"Buyers", "Agents", "Suppliers"}},
    {"a rename keeps the id and changes the group in place",
     [](TGroupWorld& w) { Rename(w.Agents, "Partners"); }, "", {"content {Agents}"}, {"Buyers", "Partners"}},
    {"a rename to another group's name is refused",
     [](TGroupWorld& w) { Rename(w.Agents, "Buyers"); }, "分组已存在!", {}, {"Buyers", "Agents"}},
    {"a new group under an existing name is refused",
     [](TGroupWorld& w) { Create(w.Buyers->ParentPath(), "Agents"); }, "分组已存在!", {}, {"Buyers", "Agents"}},
    {"the pseudo-groups' names are taken",
     [](TGroupWorld& w) { Create(w.Buyers->ParentPath(), "未分组"); }, "分组已存在!", {}, {"Buyers", "Agents"}},
    {"names differing in letter case are different names",
     [](TGroupWorld& w) { Create(w.Buyers->ParentPath(), "buyers"); }, "", {"changed folder"},
     {"Buyers", "Agents", "buyers"}},
    {"an empty group is deleted; ungrouped cards do not hold it",
     [](TGroupWorld& w) { Groups()->DeleteAddressBookGroup(w.Agents); }, "", {"changed folder"}, {"Buyers"}},
    {"a group with a card is not deleted",
     [](TGroupWorld& w) { Groups()->DeleteAddressBookGroup(w.Buyers); }, "不能删除不为空的地址簿分组", {},
     {"Buyers", "Agents"}},
    {"a pseudo-group is not deleted",
     [](TGroupWorld& w) { Groups()->DeleteAddressBookGroup(w.Buyers->ParentPath()->Append(
                              TRcResId::CreateAndAutoRelease(rtAccountAddressBookGroup, "全部联系人"))); },
     "不允许删除系统组", {}, {"Buyers", "Agents"}},
    {"deleting a deleted group does nothing and tells nobody",
     [](TGroupWorld& w) {
         Groups()->DeleteAddressBookGroup(w.Agents);
         Groups()->DeleteAddressBookGroup(w.Agents);
     },
     "", {"changed folder"}, {"Buyers"}},
};

class AddressBookGroupTest : public ContactsFixture, public ::testing::WithParamInterface<TGroupCase> {
protected:
    std::vector<std::string> GroupNames()
    {
        std::vector<std::string> names;
        for (TRcResId* id : *Groups()->GetAddressBookGroups(Folder()))
            names.push_back(Groups()->GetAddressBookGroup(Folder(), id->Id())->FName);
        return names;
    }
};

TEST_P(AddressBookGroupTest, LeavesWhatItShould)
{
    const TGroupCase& c = GetParam();
    SCOPED_TRACE(c.Name);
    TGroupWorld world{SavedGroup("Buyers", 1), SavedGroup("Agents", 2), nullptr};
    world.BuyerCard = SavedCard(world.Buyers, "Wang", "wang@example.cn");
    SavedCard(NoGroup(), "Loose", "loose@example.com");
    FRecorder->Take();

    std::string error;
    try {
        c.Act(world);
    } catch (const Exception& e) {
        error = e.what();
    }
    EXPECT_EQ(error, c.Error);
    std::vector<std::string> expected;
    for (std::string event : c.Events) {
        for (const auto& [name, path] : {std::pair{"{Buyers}", world.Buyers}, std::pair{"{Agents}", world.Agents}})
            if (const auto at = event.find(name); at != std::string::npos)
                event.replace(at, std::string(name).size(), path->Last()->Id());
        expected.push_back(event);
    }
    EXPECT_EQ(FRecorder->Take(), expected);
    EXPECT_EQ(GroupNames(), c.GroupsAfter);
    // Whatever was refused, the card stays where it was.
    EXPECT_EQ(Emails(Book()->GetAddressBooks(world.Buyers, nullptr)), std::vector<std::string>{"wang@example.cn"});
}

INSTANTIATE_TEST_SUITE_P(Cases, AddressBookGroupTest, ::testing::ValuesIn(kGroupCases),
                         [](const ::testing::TestParamInfo<TGroupCase>& aInfo) {
                             return "Case" + std::to_string(aInfo.index);
                         });

// The screens reach the folder and the groups through the resource
// manager; paths of another shape give nothing.
TEST_F(ContactsFixture, FolderAndGroupsAreListedThroughTheResourceManager)
{
    TResourceManager* resources = TResourceManager::ResourceManager();
    TRcResPath* folder = resources->GetOne(Account(), rtAccountAddressBookFolder);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->ToString(),
              Account()->ToString() + "\\AccAddrFolder:" + contacts::kAddressBookFolderId);
    EXPECT_TRUE(Groups()->IsAddressBookFolderResPath(folder));
    EXPECT_FALSE(Groups()->IsAddressBookFolderResPath(Account()));
    auto folders = resources->List(Account(), rtAccountAddressBookFolder, nullptr);
    ASSERT_EQ(folders->Count(), 1);
    EXPECT_EQ(folders->Current()->Id(), contacts::kAddressBookFolderId);

    TRcResPath* later = SavedGroup("Later", 5);
    TRcResPath* earlier = SavedGroup("Earlier", 3);
    auto groups = resources->List(folder, rtAccountAddressBookGroup, nullptr);
    ASSERT_EQ(groups->Count(), 2);
    EXPECT_TRUE(groups->Current()->Equals(earlier->Last()));
    ASSERT_TRUE(groups->MoveTo(1));
    EXPECT_TRUE(groups->Current()->Equals(later->Last()));

    EXPECT_EQ(resources->List(Account(), rtAccountAddressBookGroup, nullptr), nullptr);
    EXPECT_EQ(Groups()->GetAddressBookGroup(Account()), nullptr);
    EXPECT_TRUE(Groups()->CheckGroupByGroupName(folder, "Later"));
    EXPECT_FALSE(Groups()->CheckGroupByGroupName(folder, "later"));
    // A name with quotes is just a name.
    SavedGroup("\"Key\" accounts'", 6);
    EXPECT_TRUE(Groups()->CheckGroupByGroupName(folder, "\"Key\" accounts'"));
}

} // namespace
