#include "Business/Data/SqliteQuery.h"
#include "Business/Marketing/ProductGroupManager.h"
#include "Business/Marketing/ProductImageFiles.h"
#include "Business/Marketing/ProductManager.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/FileSync.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"
#include "Support/AccountManagers.h"
#include "Support/ExpectMessage.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kPng("\x89PNG\r\n\x1a\n", 8);
const std::string kJpeg = "\xFF\xD8\xFF\xE0";
const std::string kGif = "GIF89a";
const std::string kWebp = std::string("RIFF\x10\0\0\0WEBPVP8 ", 16);

class TRecorder : public TRcObject, public IProductObserver {
public:
    void OnContentChanged(TRcResPath* aPath) override { Events.push_back("content " + aPath->ToString()); }
    void OnChanged(TRcResPath* aPath) override { Events.push_back("changed " + aPath->ToString()); }
    std::vector<std::string> Events;
};

class ProductCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-products");
        FManagers = std::make_unique<TAccountManagers>(FScratch->Path() / "data");
        TProductManager::BuildInstance();
        TProductGroupManager::BuildInstance();
        FRecorder = MakeRc<TRecorder>();
        Products()->RegisterObserver(FRecorder.Get());
        fs::create_directories(Desktop());
    }
    void TearDown() override
    {
        Products()->UnregisterObserver(FRecorder.Get());
        TProductGroupManager::ReleaseInstance();
        TProductManager::ReleaseInstance();
        FManagers.reset();
        FScratch.reset();
    }

    static TProductManager* Products() { return TProductManager::ProductManager(); }
    static TProductGroupManager* Groups() { return TProductGroupManager::ProductGroupManager(); }
    fs::path Desktop() const { return FScratch->Path() / "desktop"; }
    fs::path ImageFolder() const { return FScratch->Path() / "data" / "Product" / "Image"; }
    fs::path ProductDb() const { return FScratch->Path() / "data" / "Product" / "Product.db"; }

    // A file the user picks: a picture's signature, then bytes of its own.
    fs::path Picked(const std::string& aName, const std::string& aSignature)
    {
        const fs::path path = Desktop() / aName;
        std::ofstream(path, std::ios::binary) << aSignature << "picture " << aName;
        return path;
    }
    static std::string Bytes(const fs::path& aPath)
    {
        std::ifstream in(aPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static TRcResPath* GroupPath(const std::string& aId)
    {
        return TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtProductGroup, aId)});
    }
    static TRcResPath* SavedGroup(const std::string& aName)
    {
        TSqliteDbProductGroup* group = Groups()->CreateProductGroup();
        group->FName = aName;
        Groups()->SaveProductGroup(group);
        return GroupPath(group->Id());
    }
    static TRcProductImage* Picture(TRcProduct* aProduct, const fs::path& aFile)
    {
        TRcProductImage* image = Products()->CreateProductImage();
        image->FImageName = "style_" + aFile.filename().string();
        image->FFileName = aFile.string();
        aProduct->FImages->Add(image);
        return image;
    }
    static TRcProduct* NewProduct(const std::string& aName)
    {
        TRcProduct* product = Products()->CreateProduct();
        product->FName = aName;
        return product;
    }
    // The stored picture files, name to content.
    std::map<std::string, std::string> StoredFiles() const
    {
        std::map<std::string, std::string> files;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(ImageFolder(), ec))
            files[entry.path().filename().string()] = Bytes(entry.path());
        return files;
    }
    // The picture rows, id to product id.
    std::map<std::string, std::string> ImageRows() const
    {
        std::map<std::string, std::string> rows;
        TSQLiteDatabase db(ProductDb());
        TSQLiteUniTable q(db, "select [Id], [ProductId] from [ProductImage]");
        for (; !q.Eof(); q.Next())
            rows[q.FieldAsString(0)] = q.FieldAsString(1);
        return rows;
    }
    static std::vector<std::string> Ids(const TRcResIdList* aList)
    {
        std::vector<std::string> ids;
        if (aList)
            for (TRcResId* id : *aList)
                ids.push_back(id->Id());
        return ids;
    }

    TRetainCountObjectAutoReleasePool FPool;
    std::unique_ptr<TScratchFolder> FScratch;
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRecorder> FRecorder;
};

TEST_F(ProductCatalogueTest, ThreePicturesRoundTripThenOneReplacedAndOneDropped)
{
    TRcResPath* group = SavedGroup("工具");
    TRcProduct* product = NewProduct("扳手");
    product->FModel = "W-12";
    product->FPrice = 12.5;
    product->FInventory = 40;
    product->FRemarks = "钢制";
    const fs::path png = Picked("a.png", kPng), jpeg = Picked("b.jpg", kJpeg), gif = Picked("c.gif", kGif);
    TRcProductImage* first = Picture(product, png);
    TRcProductImage* second = Picture(product, jpeg);
    TRcProductImage* third = Picture(product, gif);
    second->FCreateTime = first->FCreateTime + 1;
    third->FCreateTime = first->FCreateTime + 2;

    TRcResPath* path = Products()->SaveProduct(group, product);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(FRecorder->Events, std::vector<std::string>{"changed " + group->ToString()});
    // Each picture is stored under its id with the picked bytes, and the
    // record now names the stored file.
    EXPECT_EQ(StoredFiles(), (std::map<std::string, std::string>{
                                 {first->Id(), Bytes(png)}, {second->Id(), Bytes(jpeg)}, {third->Id(), Bytes(gif)}}));
    EXPECT_EQ(ImageRows(), (std::map<std::string, std::string>{
                               {first->Id(), product->Id()}, {second->Id(), product->Id()}, {third->Id(), product->Id()}}));
    EXPECT_EQ(first->FFileName, (ImageFolder() / first->Id()).string());

    // Loaded by path: every field, and only the first picture.
    TRcProduct* loaded = Products()->GetProduct(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->FGroupId, group->At(0)->Id());
    EXPECT_EQ(loaded->FName, "扳手");
    EXPECT_EQ(loaded->FModel, "W-12");
    EXPECT_EQ(loaded->FPrice, 12.5);
    EXPECT_EQ(loaded->FInventory, 40);
    EXPECT_EQ(loaded->FRemarks, "钢制");
    EXPECT_EQ(loaded->FCreateTime, product->FCreateTime);
    ASSERT_EQ(loaded->FImages->Count(), 1);
    EXPECT_EQ(loaded->FImages->First()->Id(), first->Id());
    EXPECT_EQ(loaded->FImages->First()->FFileName, first->FFileName);
    // All of them, oldest first, with their names.
    Products()->LazyLoadProductImage(path, loaded);
    ASSERT_EQ(loaded->FImages->Count(), 3);
    EXPECT_EQ(loaded->FImages->GetItem(1)->Id(), second->Id());
    EXPECT_EQ(loaded->FImages->GetItem(2)->FImageName, "style_c.gif");
    EXPECT_EQ(Bytes(loaded->FImages->GetItem(2)->FFileName), Bytes(gif));

    // Replace the second picture with a new one and drop the third.
    loaded->FImages->SetCount(1);
    TRcProductImage* replacement = Picture(loaded, Picked("d.webp", kWebp));
    replacement->FCreateTime = first->FCreateTime + 3;
    FRecorder->Events.clear();
    ASSERT_NE(Products()->SaveProduct(group, loaded), nullptr);
    EXPECT_EQ(FRecorder->Events, std::vector<std::string>{"content " + path->ToString()});
    EXPECT_EQ(StoredFiles(), (std::map<std::string, std::string>{{first->Id(), Bytes(png)},
                                                                 {replacement->Id(), Bytes(Desktop() / "d.webp")}}));
    EXPECT_EQ(ImageRows(), (std::map<std::string, std::string>{{first->Id(), product->Id()},
                                                               {replacement->Id(), product->Id()}}));
    EXPECT_EQ(Ids(Products()->GetProductImages(path)), (std::vector<std::string>{first->Id(), replacement->Id()}));
    // The picked files are the user's: never moved or removed.
    EXPECT_TRUE(fs::exists(jpeg) && fs::exists(gif));

    // Deleting the product takes every row and file of its pictures.
    FRecorder->Events.clear();
    Products()->DeleteProduct(path);
    EXPECT_EQ(FRecorder->Events, std::vector<std::string>{"changed " + group->ToString()});
    EXPECT_TRUE(StoredFiles().empty());
    EXPECT_TRUE(ImageRows().empty());
    EXPECT_EQ(Products()->GetProduct(path), nullptr);
    Products()->DeleteProduct(path);   // gone already: silent
    EXPECT_EQ(FRecorder->Events.size(), 1u);
}

TEST_F(ProductCatalogueTest, APictureInTheImageFolderUnderAnotherIdIsCopied)
{
    TRcResPath* group = SavedGroup("工具");
    TRcProduct* a = NewProduct("a");
    TRcProductImage* stored = Picture(a, Picked("a.png", kPng));
    ASSERT_NE(Products()->SaveProduct(group, a), nullptr);

    // Another product takes the stored file as its new picture.
    TRcProduct* b = NewProduct("b");
    TRcProductImage* reused = Picture(b, stored->FFileName);
    TRcResPath* bPath = Products()->SaveProduct(group, b);
    ASSERT_NE(bPath, nullptr);
    EXPECT_EQ(StoredFiles(), (std::map<std::string, std::string>{{stored->Id(), Bytes(Desktop() / "a.png")},
                                                                 {reused->Id(), Bytes(Desktop() / "a.png")}}));
    // Each file lives as long as its own row.
    Products()->DeleteProduct(bPath);
    EXPECT_EQ(StoredFiles().count(stored->Id()), 1u);

    // Saving a product whose pictures are stored copies nothing.
    std::vector<fs::path> synced;
    SetSyncObserver([&](TSyncKind, const fs::path& aPath) { synced.push_back(aPath); });
    TRcResPath* aPath = TRcResPath::CreateByPathAndAutoRelease(group, {a->FResId.Get()});
    TRcProduct* again = Products()->GetProduct(aPath);
    Products()->LazyLoadProductImage(aPath, again);
    ASSERT_NE(Products()->SaveProduct(group, again), nullptr);
    SetSyncObserver(nullptr);
    EXPECT_TRUE(synced.empty());
    EXPECT_EQ(ImageRows().size(), 1u);
}

TEST_F(ProductCatalogueTest, OnlyPicturesAreTakenAndARefusedSaveLeavesNothing)
{
    struct TSignature {
        std::string Head;
        bool Picture;
    } signatures[] = {
        {kPng, true},
        {kJpeg, true},
        {"GIF87a", true},
        {kGif, true},
        {std::string("BM\x36\x10\0\0\0\0\0\0\x36\0\0\0", 14), true},
        {kWebp, true},
        {std::string("RIFF\x10\0\0\0WAVEfmt ", 16), false},
        {"BM", false},
        {"%PDF-1.7", false},
        {"<svg xmlns=", false},
        {"", false},
    };
    for (const auto& s : signatures)
        EXPECT_EQ(HasPictureSignature(s.Head), s.Picture) << s.Head;

    TRcResPath* group = SavedGroup("工具");
    struct TCase {
        const char* Name;
        fs::path File;
    } cases[] = {
        {"text", Picked("notes.png", "just text")},
        {"empty", Picked("empty.jpg", "")},
        {"missing", Desktop() / "gone.png"},
        {"folder", Desktop()},
    };
    for (const auto& c : cases) {
        TRcProduct* product = NewProduct(c.Name);
        Picture(product, Picked("good.png", kPng));
        Picture(product, c.File);
        ExpectMessage([&] { Products()->SaveProduct(group, product); },
                      FormatText(TProductImageCopies::kNotPicture, {c.File.string()}));
        EXPECT_TRUE(StoredFiles().empty()) << c.Name;
        EXPECT_TRUE(Products()->GetProductIdByName(group, c.Name).empty()) << c.Name;
    }
    EXPECT_TRUE(FRecorder->Events.empty());
}

TEST_F(ProductCatalogueTest, AFailedTransactionRemovesTheCopiedPictures)
{
    TRcResPath* group = SavedGroup("工具");
    TRcProduct* product = NewProduct("a");
    Picture(product, Picked("a.png", kPng));
    {
        TSQLiteDatabase db(ProductDb());
        db.ExecSQL("drop table [ProductImage]");
    }
    EXPECT_THROW(Products()->SaveProduct(group, product), ESQLiteException);
    EXPECT_TRUE(StoredFiles().empty());
    EXPECT_TRUE(Products()->GetProductIdByName(group, "a").empty());
    EXPECT_EQ(product->FImages->First()->FFileName, (Desktop() / "a.png").string());
}

TEST_F(ProductCatalogueTest, GroupsAndPseudoGroupsListTheirProducts)
{
    // Nothing is made while there is nothing to keep.
    EXPECT_EQ(Groups()->GetProductGroups()->Count(), 0);
    EXPECT_EQ(Products()->GetProducts(GroupPath(""), nullptr), nullptr);
    EXPECT_FALSE(Groups()->CheckGroupByGroupName("工具"));
    EXPECT_FALSE(fs::exists(ProductDb().parent_path()));

    // The first group builds the file with every table and index.
    TRcResPath* tools = SavedGroup("工具");
    TRcResPath* toys = SavedGroup("玩具");
    {
        TSQLiteDatabase db(ProductDb());
        EXPECT_EQ(db.UserVersion(), 1);
        for (const char* table : {"ProductGroup", "Product", "ProductImage"})
            EXPECT_TRUE(db.TableExists(table)) << table;
        EXPECT_EQ(db.GetTableValue("select count(*) from [sqlite_master] where [type] = 'index' and [name] in "
                                   "('Product_Index_GroupId', 'ProductImage_Index_ProductId')"),
                  2);
    }
    EXPECT_TRUE(Groups()->CheckGroupByGroupName("工具"));
    EXPECT_FALSE(Groups()->CheckGroupByGroupName("\" or \"1\"=\"1"));

    std::vector<std::string> made;
    auto save = [&](TRcResPath* aGroup, const std::string& aName) {
        TRcProduct* product = NewProduct(aName);
        product->FCreateTime = 45000 + static_cast<double>(made.size());
        made.push_back(product->Id());
        return Products()->SaveProduct(aGroup, product);
    };
    save(tools, "p0");
    save(GroupPath(""), "p1");
    TRcResPath* moving = save(toys, "p2");
    save(tools, "p3");
    // Saved under another group, a product moves there.
    TRcProduct* moved = Products()->GetProduct(moving);
    EXPECT_EQ(Products()->GetProductIdByName(tools, "p2"), moved->Id());
    Products()->SaveProduct(GroupPath(""), moved);

    const auto list = [&](TRcResPath* aGroup, bool aWithOpertion) {
        auto opertion = MakeRc<TRcProductListOpertionImpl>(kAllProductGroupId, kNoGroupProductGroupId);
        TRcRef<IResVisitor> visitor =
            TResourceManager::ResourceManager()->List(aGroup, rtProduct, aWithOpertion ? opertion.Get() : nullptr);
        std::vector<std::string> ids;
        for (int i = 0; visitor && visitor->MoveTo(i); ++i)
            ids.push_back(visitor->Current()->Id());
        return ids;
    };
    EXPECT_EQ(list(GroupPath(kAllProductGroupId), true), made);
    EXPECT_EQ(list(GroupPath(kNoGroupProductGroupId), true), (std::vector<std::string>{made[1], made[2]}));
    EXPECT_EQ(list(GroupPath(""), false), (std::vector<std::string>{made[1], made[2]}));
    EXPECT_EQ(list(tools, true), (std::vector<std::string>{made[0], made[3]}));
    EXPECT_TRUE(list(toys, false).empty());
    // Without the operation the pseudo-groups are groups like any other.
    EXPECT_TRUE(list(GroupPath(kAllProductGroupId), false).empty());

    TRcRef<IResVisitor> groups = TResourceManager::ResourceManager()->List(nullptr, rtProductGroup);
    ASSERT_TRUE(groups);
    ASSERT_EQ(groups->Count(), 2);
    ASSERT_TRUE(groups->MoveTo(1));
    EXPECT_EQ(groups->Current()->Id(), toys->At(0)->Id());
    EXPECT_EQ(Groups()->GetProductGroup(toys)->ToString(), "玩具");

    // A group that still holds products stays.
    ExpectMessage([&] { Groups()->DeleteProductGroup(tools); }, TProductGroupManager::kNotEmpty);
    Groups()->DeleteProductGroup(toys);
    Groups()->DeleteProductGroup(toys);
    EXPECT_EQ(Ids(Groups()->GetProductGroups()), std::vector<std::string>{tools->At(0)->Id()});
}

TEST_F(ProductCatalogueTest, DeletingSeveralTellsEachGroupOnce)
{
    TRcResPath* tools = SavedGroup("工具");
    TRcResPath* toys = SavedGroup("玩具");
    auto paths = MakeRc<TRcResPathList>();
    for (TRcResPath* group : {tools, toys, tools}) {
        TRcProduct* product = NewProduct("p");
        Picture(product, Picked("p.png", kPng));
        paths->Add(Products()->SaveProduct(group, product));
    }
    paths->Add(TRcResPath::CreateByPathAndAutoRelease(tools, {TRcResId::CreateAndAutoRelease(rtProduct, NewGuidId())}));
    FRecorder->Events.clear();
    Products()->BeginUpdate();
    Products()->DeleteProducts(paths.Get());
    EXPECT_TRUE(FRecorder->Events.empty());
    Products()->EndUpdate();
    EXPECT_EQ(FRecorder->Events,
              (std::vector<std::string>{"changed " + tools->ToString(), "changed " + toys->ToString()}));
    EXPECT_TRUE(StoredFiles().empty());
    EXPECT_TRUE(ImageRows().empty());
}

} // namespace
