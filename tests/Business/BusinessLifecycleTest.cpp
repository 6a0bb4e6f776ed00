#include "Business/Business.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gEvents;

template <int N>
struct TFake : TSingletonOf<TFake<N>> {
    static inline bool FailBuild = false;
    TFake()
    {
        if (FailBuild)
            throw Exception("build " + std::to_string(N) + " failed");
        gEvents.push_back("build " + std::to_string(N));
    }
    ~TFake() override { gEvents.push_back("release " + std::to_string(N)); }
};

template <int N>
void Call()
{
    gEvents.push_back("call " + std::to_string(N));
}

void FailingCall()
{
    gEvents.push_back("failing call");
    throw Exception("call failed");
}

const TSingletonClass kBuild[] = {SingletonClassOf<TFake<1>>("TFake1"), SingletonClassOf<TFake<2>>("TFake2"),
                                  SingletonClassOf<TFake<3>>("TFake3")};
const TBusinessCall kInit[] = {{"Init2", Call<2>}, {"Init1", Call<1>}};
const TBusinessCall kUnInit[] = {{"UnInit1", Call<1>}};
// TFake<3> is missing from the release order, as some managers are.
const TSingletonClass kRelease[] = {kBuild[1], kBuild[0]};

class BusinessLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gEvents.clear();
        TFake<2>::FailBuild = false;
    }
};

TEST_F(BusinessLifecycleTest, InitAndUnInitFollowTheTables)
{
    const TBusinessLifecycle lifecycle{kBuild, kInit, kUnInit, kRelease};
    TBusiness::Init(lifecycle);
    EXPECT_TRUE(TBusiness::Initialized());
    TBusiness::UnInit(lifecycle);
    EXPECT_FALSE(TBusiness::Initialized());
    EXPECT_EQ(gEvents, (std::vector<std::string>{"build 1", "build 2", "build 3", "call 2", "call 1", "call 1",
                                                 "release 2", "release 1", "release 3"}));
}

TEST_F(BusinessLifecycleTest, AFailedBuildReleasesWhatWasBuilt)
{
    TFake<2>::FailBuild = true;
    const TBusinessLifecycle lifecycle{kBuild, kInit, kUnInit, kRelease};
    try {
        TBusiness::Init(lifecycle);
        FAIL() << "Init succeeded";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "build 2 failed");
    }
    EXPECT_FALSE(TBusiness::Initialized());
    EXPECT_EQ(gEvents, (std::vector<std::string>{"build 1", "call 1", "release 1"}));
    EXPECT_EQ(TFake<1>::Instance(), nullptr);
}

TEST_F(BusinessLifecycleTest, AFailingUnInitStepStillReleasesEverything)
{
    const TBusinessCall failing[] = {{"Failing", FailingCall}, {"UnInit1", Call<1>}};
    const TBusinessLifecycle lifecycle{kBuild, {}, failing, kRelease};
    TBusiness::Init(lifecycle);
    gEvents.clear();
    EXPECT_THROW(TBusiness::UnInit(lifecycle), Exception);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"failing call", "call 1", "release 2", "release 1", "release 3"}));
    EXPECT_FALSE(TBusiness::Initialized());
}

TEST_F(BusinessLifecycleTest, BuildingTwiceIsRefused)
{
    const TBusinessLifecycle lifecycle{kBuild, {}, {}, kRelease};
    TBusiness::Init(lifecycle);
    TFake<1>* first = TFake<1>::Instance();
    EXPECT_THROW(TBusiness::Init(lifecycle), Exception);
    // The refused second Init must not take the running layer down.
    EXPECT_EQ(TFake<1>::Instance(), first);
    TBusiness::UnInit(lifecycle);
}

TEST_F(BusinessLifecycleTest, ClearingIsRefusedWhileTheLayerIsBuilt)
{
    TBusiness::Init(TBusinessLifecycle{kBuild, {}, {}, kRelease});
    try {
        TBusiness::ClearDataPathAllData();
        FAIL() << "clearing was allowed";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "业务层已经初始化了，不能清除数据！");
    }
    TBusiness::UnInit(TBusinessLifecycle{kBuild, {}, {}, kRelease});
}

TEST_F(BusinessLifecycleTest, TheProgramsOrders)
{
    // Managers join these tables as they are built; this pins the orders.
    auto names = [](auto aTable) {
        std::vector<std::string> out;
        for (const auto& entry : aTable)
            out.push_back(entry.Name);
        return out;
    };
    const auto& lifecycle = TBusiness::Lifecycle();
    EXPECT_EQ(names(lifecycle.Build),
              (std::vector<std::string>{"TResourceManager", "TConfigManager", "TTempFileManager", "TAccountManager",
                                        "TServerDriver", "TAccountFolderManager", "TAccountMailManager",
                                        "TAccountAddressBookGroupManager", "TAccountAddressBookManager",
                                        "TTemplateManager", "TAppUpdateManager", "TNameListManager",
                                        "TMailFilterManager", "TLetterManager", "TSecretaryManager",
                                        "TConversationManager", "TConversationItemManager",
                                        "TProductManager", "TProductGroupManager", "TPromoteTemplateManager"}));
    EXPECT_EQ(names(lifecycle.InitCalls),
              (std::vector<std::string>{"TAccountMailManager.SweepMailFiles", "TTemplateManager.Init",
                                        "TLetterManager.Init", "TConversationManager.Init", "TServerDriver.Init"}));
    EXPECT_EQ(names(lifecycle.UnInitCalls),
              (std::vector<std::string>{"TServerDriver.UnInit", "TTemplateManager.UnInit"}));
    EXPECT_EQ(names(lifecycle.Release),
              (std::vector<std::string>{"TResourceManager", "TConfigManager", "TTempFileManager",
                                        "TAccountFolderManager", "TAccountMailManager",
                                        "TAccountAddressBookGroupManager", "TAccountAddressBookManager",
                                        "TAccountManager", "TTemplateManager", "TServerDriver", "TAppUpdateManager",
                                        "TNameListManager", "TMailFilterManager", "TLetterManager",
                                        "TSecretaryManager", "TPromoteTemplateManager"}));
}

} // namespace
