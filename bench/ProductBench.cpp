// The product window's listing of a catalogue: every group, each group's
// products, and each product with its first picture's file, as the
// picture list shows them. 10,000 products in 100 groups, three pictures
// each.
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Marketing/ProductGroupManager.h"
#include "Business/Marketing/ProductManager.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/GuidId.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

constexpr int kGroups = 100;
constexpr int kProductsPerGroup = 100;
constexpr int kPicturesPerProduct = 3;

// The catalogue's rows, written straight into a new Product.db in one
// transaction (the listing reads rows only, never the picture files).
void MakeCatalogue(const std::filesystem::path& aDataFolder)
{
    auto db = OpenProductDatabase(aDataFolder);
    TTransaction::Run(*db, [&] {
        TSQLiteQueryEx group(*db, "insert into [ProductGroup]([Id], [Name], [CreateTime], [ModifiedTime]) values(?, ?, ?, ?)");
        TSQLiteQueryEx product(*db, "insert into [Product]([Id], [GroupId], [Name], [Model], [Price], [Inventory], "
                                    "[Remarks], [CreateTime], [ModifiedTime]) values(?, ?, ?, ?, ?, ?, ?, ?, ?)");
        TSQLiteQueryEx image(*db, "insert into [ProductImage]([Id], [ProductId], [ImageName], [CreateTime], "
                                  "[ModifiedTime]) values(?, ?, ?, ?, ?)");
        double time = 45000;
        for (int g = 0; g < kGroups; ++g) {
            const std::string groupId = NewGuidId();
            group.BindStr(1, groupId);
            group.BindStr(2, "group " + std::to_string(g));
            group.BindDouble(3, time);
            group.BindDouble(4, time);
            group.Exec();
            for (int p = 0; p < kProductsPerGroup; ++p) {
                const std::string productId = NewGuidId();
                time += 0.001;
                product.BindStr(1, productId);
                product.BindStr(2, groupId);
                product.BindStr(3, "product " + std::to_string(g * kProductsPerGroup + p));
                product.BindStr(4, "M-" + std::to_string(p));
                product.BindDouble(5, 12.5 + p);
                product.BindDouble(6, p);
                product.BindStr(7, "remarks");
                product.BindDouble(8, time);
                product.BindDouble(9, time);
                product.Exec();
                for (int i = 0; i < kPicturesPerProduct; ++i) {
                    image.BindStr(1, NewGuidId());
                    image.BindStr(2, productId);
                    image.BindStr(3, "style " + std::to_string(i));
                    image.BindDouble(4, time + i * 0.0001);
                    image.BindDouble(5, time);
                    image.Exec();
                }
            }
        }
    });
}

void BM_ListCatalogueWithFirstPictures(benchmark::State& state)
{
    TRetainCountObjectAutoReleasePool pool;
    TScratchFolder scratch("qm-bench-products");
    TAccountManagers managers(scratch.Path());
    TProductManager::BuildInstance();
    TProductGroupManager::BuildInstance();
    MakeCatalogue(scratch.Path());
    TResourceManager* resources = TResourceManager::ResourceManager();
    TProductManager* products = TProductManager::ProductManager();

    std::size_t listed = 0;
    for (auto _ : state) {
        TRetainCountObjectAutoReleasePool listing;
        listed = 0;
        TRcRef<IResVisitor> groups = resources->List(nullptr, rtProductGroup);
        for (int g = 0; groups->MoveTo(g); ++g) {
            TRcResPath* groupPath = TRcResPath::CreateAndAutoRelease({groups->Current()});
            TRcRef<IResVisitor> ids = resources->List(groupPath, rtProduct);
            for (int p = 0; ids->MoveTo(p); ++p) {
                TRcProduct* product =
                    products->GetProduct(TRcResPath::CreateByPathAndAutoRelease(groupPath, {ids->Current()}));
                if (product && product->FImages->Count() > 0 && !product->FImages->First()->FFileName.empty())
                    ++listed;
            }
        }
        benchmark::DoNotOptimize(listed);
    }
    state.counters["products"] = static_cast<double>(listed);
    TProductGroupManager::ReleaseInstance();
    TProductManager::ReleaseInstance();
}
BENCHMARK(BM_ListCatalogueWithFirstPictures)->Unit(benchmark::kMillisecond);

} // namespace
