#include "Business/Account/AccountForSqlite.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Resource/ResourceManager.h"
#include "PromotionCatalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class TRecorder : public TRcObject, public IPromoteTemplateObserver {
public:
    void OnContentChanged(TRcResPath* aPath) override { Events.push_back("content " + aPath->ToString()); }
    void OnChanged(TRcResPath* aPath) override { Events.push_back("changed " + aPath->ToString()); }
    std::vector<std::string> Events;
};

class PromoteTemplateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FRecorder = MakeRc<TRecorder>();
        Templates()->RegisterObserver(FRecorder.Get());
        FBoots = FCatalogue.SaveProduct("Boots", "B-1", 40, "", {PngBytes("b1")});
        FTent = FCatalogue.SaveProduct("Tent", "T-2", 120, "", {PngBytes("t1"), PngBytes("t2")});
        FLamp = FCatalogue.SaveProduct("Lamp", "L-3", 9.5, "", {});
    }
    void TearDown() override { Templates()->UnregisterObserver(FRecorder.Get()); }

    static TPromoteTemplateManager* Templates() { return TPromotionCatalogue::Templates(); }
    TSQLiteDatabase& Db() { return *dynamic_cast<TRcAccountForSqlite*>(FCatalogue.Account())->GetDb(); }
    // (serial number, product id) of the template's item rows, and
    // (item's serial number, picture's serial number) of its picture rows.
    std::vector<std::pair<int, std::string>> ItemRows(const std::string& aTemplateId)
    {
        std::vector<std::pair<int, std::string>> rows;
        TSQLiteUniTable q(Db(), "select [serialNumber], [productid] from [promoteTemplateItem] "
                                "where [promoteTemplateId] = ? order by [serialNumber]");
        q.BindStr(1, aTemplateId);
        for (; !q.Eof(); q.Next())
            rows.emplace_back(static_cast<int>(q.FieldAsInteger(0)), q.FieldAsString(1));
        return rows;
    }
    std::vector<std::pair<int, int>> PictureRows()
    {
        std::vector<std::pair<int, int>> rows;
        TSQLiteUniTable q(Db(), "select A.[serialNumber], B.[serialNumber] from [promoteTemplateItemImage] B "
                                "left join [promoteTemplateItem] A on A.[Id] = B.[promoteTemplateItemId] "
                                "order by 1, 2");
        for (; !q.Eof(); q.Next())
            rows.emplace_back(static_cast<int>(q.FieldAsInteger(0)), static_cast<int>(q.FieldAsInteger(1)));
        return rows;
    }

    TPromotionCatalogue FCatalogue{"qm-promote"};
    TRcRef<TRecorder> FRecorder;
    TRcProduct* FBoots = nullptr;
    TRcProduct* FTent = nullptr;
    TRcProduct* FLamp = nullptr;
};

TEST_F(PromoteTemplateTest, SerialNumbersFollowTheOrderAndCloseUpWhenAMiddleItemGoes)
{
    TRcPromoteTemplate* spring = FCatalogue.NewTemplate("Spring", "All out");
    TRcResPath* path = FCatalogue.SaveTemplate(spring, {{FBoots, {0}}, {FTent, {0, 1}}, {FLamp, {}}});
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(ItemRows(spring->Id()), (std::vector<std::pair<int, std::string>>{
                                          {1, FBoots->Id()}, {2, FTent->Id()}, {3, FLamp->Id()}}));
    EXPECT_EQ(PictureRows(), (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {2, 2}}));

    // The template as loaded, its middle item taken out, saved again: the
    // rest renumbered, the removed item's pictures gone with it.
    TRcPromoteTemplate* loaded = Templates()->GetPromoteTemplate(path);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->FItems->Count(), 3);
    EXPECT_EQ(loaded->FItems->GetItem(1)->FProductImages->Count(), 2);
    loaded->FItems->Delete(1);
    Templates()->SavePromoteTemplate(FCatalogue.Folder(), loaded);

    EXPECT_EQ(ItemRows(spring->Id()),
              (std::vector<std::pair<int, std::string>>{{1, FBoots->Id()}, {2, FLamp->Id()}}));
    EXPECT_EQ(PictureRows(), (std::vector<std::pair<int, int>>{{1, 1}}));
    TRcProductList* products = Templates()->GetPromoteTemplateProducts(path);
    ASSERT_EQ(products->Count(), 2);
    EXPECT_EQ(products->GetItem(1)->FName, "Lamp");
    EXPECT_EQ(FRecorder->Events, (std::vector<std::string>{"changed " + FCatalogue.Folder()->ToString(),
                                                           "content " + path->ToString()}));
}

TEST_F(PromoteTemplateTest, ASaveThatFailsPartWayLeavesTheTemplateAsItWas)
{
    TRcPromoteTemplate* spring = FCatalogue.NewTemplate("Spring", "All out");
    TRcResPath* path = FCatalogue.SaveTemplate(spring, {{FBoots, {0}}, {FTent, {0, 1}}, {FLamp, {}}});
    Db().ExecSQL("create trigger [refuse] before insert on [promoteTemplateItem] when new.[productid] = 'refused' "
                 "begin select raise(abort, 'refused'); end");

    TRcPromoteTemplate* edited = FCatalogue.NewTemplate("Spring sale", "Changed");
    edited->FResId = TRcRef<TRcResId>::Retain(spring->FResId.Get());
    TRcPromoteTemplateItem* bad = Templates()->CreatePromoteTemplateItem();
    bad->FProductId = "refused";
    FCatalogue.SaveTemplate(edited, {{FLamp, {}}});
    EXPECT_EQ(Templates()->GetPromoteTemplate(path)->FItems->Count(), 1);

    edited->FItems->Add(bad);
    EXPECT_ANY_THROW(Templates()->SavePromoteTemplate(FCatalogue.Folder(), edited));
    TRcPromoteTemplate* after = Templates()->GetPromoteTemplate(path);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->FName, "Spring sale");
    ASSERT_EQ(after->FItems->Count(), 1);
    EXPECT_EQ(after->FItems->GetItem(0)->FProductId, FLamp->Id());
}

TEST_F(PromoteTemplateTest, ANameIsRefusedOnlyWhenAnotherTemplateOfTheAccountHasIt)
{
    TRcPromoteTemplate* spring = FCatalogue.NewTemplate("Spring", "a");
    FCatalogue.SaveTemplate(spring, {});

    TRcRef<TRcAccount> other = TAccountManager::AccountManager()->CreateNewAccount();
    other->SetEmail("other@example.com");
    TAccountManager::AccountManager()->SaveAccount(other.Get());
    TRcResPath* otherAccount = TRcResPath::CreateAndAutoRelease({other->ResId()});

    const struct {
        const char* Case;
        TRcPromoteTemplate* Template;
        TRcResPath* Account;
        bool Taken;
    } cases[] = {
        {"another template, same name", FCatalogue.NewTemplate("Spring", "b"), FCatalogue.AccountPath(), true},
        {"the template itself", spring, FCatalogue.AccountPath(), false},
        {"another name", FCatalogue.NewTemplate("Autumn", "b"), FCatalogue.AccountPath(), false},
        {"same name, other account", FCatalogue.NewTemplate("Spring", "b"), otherAccount, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Templates()->IsPromoteTemplateExists(c.Account, c.Template), c.Taken) << c.Case;
}

TEST_F(PromoteTemplateTest, DeletingRemovesItemsAndPicturesButNotTheCatalogue)
{
    TRcPromoteTemplate* spring = FCatalogue.NewTemplate("Spring", "a");
    TRcResPath* path = FCatalogue.SaveTemplate(spring, {{FTent, {0, 1}}});
    FRecorder->Events.clear();

    Templates()->DeletePromoteTemplate(path);
    Templates()->DeletePromoteTemplate(path);   // gone already: nobody is told

    EXPECT_EQ(Templates()->GetPromoteTemplate(path), nullptr);
    EXPECT_TRUE(ItemRows(spring->Id()).empty());
    EXPECT_TRUE(PictureRows().empty());
    EXPECT_EQ(FRecorder->Events, (std::vector<std::string>{"changed " + FCatalogue.Folder()->ToString()}));
    EXPECT_NE(TPromotionCatalogue::Products()->GetProduct(FTent->Id()), nullptr);
    for (int i = 0; i < FTent->FImages->Count(); ++i)
        EXPECT_TRUE(std::filesystem::exists(FTent->FImages->GetItem(i)->FFileName));
}

TEST_F(PromoteTemplateTest, TheResourceManagerListsTheFolderTemplatesAndItems)
{
    TRcPromoteTemplate* spring = FCatalogue.NewTemplate("Spring", "a");
    TRcResPath* path = FCatalogue.SaveTemplate(spring, {{FBoots, {}}, {FLamp, {}}});
    TResourceManager* resources = TResourceManager::ResourceManager();
    auto list = [&](TRcResPath* aPath, TResType aType) {
        std::vector<std::string> ids;
        resources->List(aPath, aType, [&](TRcResId* aId) { ids.push_back(aId->Id()); });
        return ids;
    };
    EXPECT_EQ(list(FCatalogue.AccountPath(), rtPromoteTemplateFolder),
              std::vector<std::string>{kPromoteTemplateFolderId});
    EXPECT_EQ(list(FCatalogue.Folder(), rtPromoteTemplate), std::vector<std::string>{spring->Id()});
    EXPECT_EQ(list(path, rtPromoteTemplateItem),
              (std::vector<std::string>{spring->FItems->GetItem(0)->Id(), spring->FItems->GetItem(1)->Id()}));
    EXPECT_TRUE(list(path, rtPromoteTemplate).empty());   // not a folder path
}

} // namespace
