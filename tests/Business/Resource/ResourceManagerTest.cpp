#include "Business/Business.h"
#include "Business/Resource/ProcRunableWithResPath.h"
#include "Business/Resource/ResPathCheck.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TRcResId* Id(TResType aType, const char* aId)
{
    return TRcResId::CreateAndAutoRelease(aType, aId);
}

// Lists three fixed accounts under an empty path, as the account factory
// lists the account table.
class TTestAccountFactory : public TResVisitorFactoryBase {
public:
    mutable TAccountMailListOpertionSordMode SeenSortMode = amlosmDefault;
    mutable bool SawMailOperation = false;

    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override
    {
        SawMailOperation = false;
        if (auto* mail = dynamic_cast<IAccountMailListOpertion*>(aOpertion)) {
            SawMailOperation = true;
            SeenSortMode = mail->SortMode();
        }
        if (!IsEmptyResPath(aPath))
            return nullptr;
        auto ids = TRcResIdList::CreateAndAutoRelease();
        for (const char* id : {"A1", "A2", "A3"})
            ids->Add(Id(rtAccount, id));
        return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(ids));
    }
};

// A single standard child, as the address-book folder factory has.
class TTestFolderFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion*) const override
    {
        TRcResPath* folder = GetSingleton(aPath);
        return folder ? TRcRef<IResVisitor>::Adopt(new TResPathVisitor(folder)) : nullptr;
    }
    TRcRef<IResVisitor> CreateVisitor(TRcResIdList* aList) const override
    {
        return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(aList));
    }
    TRcResPath* GetSingleton(TRcResPath* aPath) const override
    {
        return IsAccountResPath(aPath) ? aPath->Append(Id(rtAccountAddressBookFolder, "Folder")) : nullptr;
    }
};

// Slots the program's domains never take: the stand-in factories stay
// there whatever domains join the program's table.
constexpr TResType kListType = static_cast<TResType>(100);
constexpr TResType kFolderType = static_cast<TResType>(101);
constexpr TResType kUnlistedType = static_cast<TResType>(102);   // never registered

class ResourceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TResourceManager::BuildInstance(TBusiness::VisitorFactories());
        RegisterResVisitorFactory(kListType, &FAccounts);
        RegisterResVisitorFactory(kFolderType, &FFolders);
    }
    void TearDown() override
    {
        UnRegisterResVisitorFactory(kListType);
        UnRegisterResVisitorFactory(kFolderType);
        TResourceManager::ReleaseInstance();
    }
    static std::vector<std::string> Ids(IResVisitor* aVisitor)
    {
        std::vector<std::string> ids;
        for (int i = 0; i < aVisitor->Count(); ++i)
            if (aVisitor->MoveTo(i))
                ids.push_back(aVisitor->Current()->Id());
        return ids;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TTestAccountFactory FAccounts;
    TTestFolderFactory FFolders;
};

TEST_F(ResourceManagerTest, RegistryErrors)
{
    // The program's own account factory is there already.
    ExpectMessage([&] { RegisterResVisitorFactory(rtAccount, &FFolders); }, "资源类型(0) 的资源工厂已经注册了");
    ExpectMessage([&] { RegisterResVisitorFactory(kListType, &FFolders); },
                  "资源类型(100) 的资源工厂已经注册了");
    ExpectMessage([] { RegisterResVisitorFactory(kUnlistedType, nullptr); }, "资源工厂不能是 nil");
    ExpectMessage([] { UnRegisterResVisitorFactory(kUnlistedType); }, "资源类型(102) 的资源工厂没有注册");
    EXPECT_EQ(ResVisitorFactoryOf(kListType), &FAccounts);
    EXPECT_EQ(ResVisitorFactoryOf(kUnlistedType), nullptr);
}

TEST_F(ResourceManagerTest, ListingGoesThroughTheTypesFactory)
{
    auto* manager = TResourceManager::ResourceManager();
    auto visitor = manager->List(nullptr, kListType);
    ASSERT_TRUE(visitor);
    EXPECT_EQ(Ids(visitor.Get()), (std::vector<std::string>{"A1", "A2", "A3"}));
    EXPECT_FALSE(visitor->MoveTo(3));
    EXPECT_FALSE(visitor->MoveTo(-1));
    EXPECT_EQ(visitor->Current()->Id(), "A3");   // the position stayed
    EXPECT_FALSE(visitor->IsCountChangeAble());

    TRcResPath* account = TRcResPath::CreateAndAutoRelease({Id(rtAccount, "A1")});
    EXPECT_FALSE(manager->List(account, kListType));   // this factory lists under the empty path only
    EXPECT_FALSE(manager->List(nullptr, kUnlistedType));  // nothing registered
    EXPECT_EQ(manager->GetOne(account, kUnlistedType), nullptr);
    EXPECT_EQ(manager->GetOne(account, kListType), nullptr);   // no standard child

    std::vector<std::string> seen;
    manager->List(nullptr, kListType, [&](TRcResId* aId) { seen.push_back(aId->Id()); });
    manager->List(nullptr, kUnlistedType, [&](TRcResId* aId) { seen.push_back(aId->Id()); });
    manager->List(nullptr, kListType, std::function<void(TRcResId*)>());
    EXPECT_EQ(seen, (std::vector<std::string>{"A1", "A2", "A3"}));
}

TEST_F(ResourceManagerTest, SingletonsListFormsAndOperations)
{
    auto* manager = TResourceManager::ResourceManager();
    TRcResPath* account = TRcResPath::CreateAndAutoRelease({Id(rtAccount, "A1")});
    TRcResPath* folder = manager->GetOne(account, kFolderType);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->ToString(), "\\Account:A1\\AccAddrFolder:Folder");
    auto single = manager->List(account, kFolderType);
    EXPECT_EQ(Ids(single.Get()), std::vector<std::string>{"Folder"});

    auto ids = TRcResIdList::CreateAndAutoRelease();
    ids->Add(Id(rtAccountAddressBookFolder, "F"));
    EXPECT_EQ(Ids(manager->List(kFolderType, ids).Get()), std::vector<std::string>{"F"});
    EXPECT_THROW(manager->List(kListType, ids), EAbstractError);
    EXPECT_FALSE(manager->List(kUnlistedType, ids));

    auto operation = MakeRc<TRcAccountMailListOpertionImpl>();
    operation->FSortMode = amlosmSize;
    manager->List(nullptr, kListType, operation.Get());
    EXPECT_TRUE(FAccounts.SawMailOperation);
    EXPECT_EQ(FAccounts.SeenSortMode, amlosmSize);
    auto contacts = MakeRc<TRcContactsListOpertionImpl>("全部联系人", "未分组");
    manager->List(nullptr, kListType, contacts.Get());
    EXPECT_FALSE(FAccounts.SawMailOperation);
}

TEST_F(ResourceManagerTest, ScreensBuildTheirOwnVisitors)
{
    auto base = MakeRc<TResVisitorBase>();
    base->Add(Id(rtAccount, "X"));
    base->AddResidList(TResourceManager::ResourceManager()->List(nullptr, kListType).Get());
    EXPECT_EQ(base->Remove(Id(rtAccount, "A2")), 2);
    EXPECT_EQ(Ids(base.Get()), (std::vector<std::string>{"X", "A1", "A3"}));

    std::string ran;
    auto runable = MakeRc<TRcProcRunableWithResPath>([&](TRcResPath* aPath) { ran = aPath->ToString(); });
    runable->SetResPath(TRcResPath::CreateAndAutoRelease({Id(rtAccount, "A")}));
    runable->Run();
    EXPECT_EQ(ran, "\\Account:A");
}

} // namespace
