#include "Runtime/Singleton.h"

#include <gtest/gtest.h>

namespace {

struct TProbe : TSingletonOf<TProbe> {
    static inline int Built = 0;
    static inline bool SawItselfGone = false;
    TProbe() { ++Built; }
    ~TProbe() override { SawItselfGone = Instance() == nullptr; }
};

struct TProbeVariant : TProbe {};

TEST(SingletonTest, BuildTwiceFailsAndKeepsTheFirst)
{
    TProbe::Built = 0;
    TProbe::BuildInstance();
    TProbe* first = TProbe::Instance();
    ASSERT_NE(first, nullptr);
    try {
        TProbe::BuildInstance();
        FAIL() << "second build succeeded";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "单例实例已经创建！");
    }
    EXPECT_EQ(TProbe::Instance(), first);
    EXPECT_EQ(TProbe::Built, 1);

    TProbe::ReleaseInstance();
    EXPECT_EQ(TProbe::Instance(), nullptr);
    EXPECT_TRUE(TProbe::SawItselfGone);
    TProbe::ReleaseInstance();   // not built: nothing happens
}

TEST(SingletonTest, AVariantCanBeBuiltInTheClassesPlace)
{
    TProbe::BuildInstance<TProbeVariant>();
    EXPECT_NE(dynamic_cast<TProbeVariant*>(TProbe::Instance()), nullptr);
    const TSingletonClass probe = SingletonClassOf<TProbe>("TProbe");
    EXPECT_TRUE(probe.IsBuilt());
    TSingletonManager::ReleaseSingleton(probe);
    EXPECT_FALSE(probe.IsBuilt());
    TSingletonManager::BuildSingleton(probe);
    EXPECT_EQ(dynamic_cast<TProbeVariant*>(TProbe::Instance()), nullptr);
    TSingletonManager::ReleaseSingleton(probe);
}

} // namespace
