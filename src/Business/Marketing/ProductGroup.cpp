#include "ProductGroup.h"

#include "Business/Data/DataFolder.h"
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kIds = "select [id] from [ProductGroup]";
constexpr const char* kLoad =
    "select    [Id] , [Name] , [CreateTime] , [ModifiedTime] from [ProductGroup] where [id] = ?";
constexpr const char* kCount = "select count(0) from [ProductGroup] where [id] = ?";
constexpr const char* kReplace =
    "replace into [ProductGroup]([id], [Name],[CreateTime],[ModifiedTime]) values(?,?,?,?)";
constexpr const char* kProductsOfGroup = "select count(0) from [Product] where ([GroupId] = ?)";
constexpr const char* kDelete = "delete from [ProductGroup] where ([id] = ?)";
constexpr const char* kDeleteAll = "delete from [ProductGroup]";

fs::path ProductDbPath()
{
    return CurrentDataPath() / "Product" / "Product.db";
}

bool ProductDbExists()
{
    std::error_code ec;
    return fs::is_regular_file(ProductDbPath(), ec);
}

} // namespace

TRcProductGroup::TRcProductGroup(std::string aId, TDateTime aCreateTime)
    : FResId(TRcRef<TRcResId>::Adopt(TRcResId::Create(rtProductGroup, std::move(aId)))), FCreateTime(aCreateTime)
{
}

TRcProductGroup* TRcProductGroup::CreateEmptyProductGroupAndAutoRelease()
{
    return RcCreateAndAutoRelease<TRcProductGroup>(NewGuidId(), Now());
}

std::string TRcProductGroup::ToString() const
{
    if (!FName.empty())
        return FName;
    return FormatText("<id: %s>", {Id()});
}

TSqliteDbProductGroup::TSqliteDbProductGroup(const std::string& aId) : TRcProductGroup(aId, Now())
{
    if (!ProductDbExists())
        return;
    OpenDb();
    TSQLiteUniTable row(*FDb, kLoad);
    row.BindStr(1, aId);
    if (row.Eof())
        return;
    FName = row.FieldAsString(1);
    FCreateTime = row.FieldAsDouble(2);
    FModifiedTime = row.FieldAsDouble(3);
}

TSqliteDbProductGroup::~TSqliteDbProductGroup() = default;

void TSqliteDbProductGroup::OpenDb()
{
    if (FDb)
        throw Exception(kAlreadyOpen);
    FDb = std::make_unique<TSQLiteDatabase>(ProductDbPath());
}

void TSqliteDbProductGroup::CloseDb()
{
    if (!FDb)
        throw Exception(kNotOpen);
    FDb.reset();
}

void TSqliteDbProductGroup::CreateDb()
{
    if (FDb)
        throw Exception(kAlreadyOpen);
    FDb = OpenProductDatabase(CurrentDataPath());
}

TSQLiteDatabase& TSqliteDbProductGroup::GetDb()
{
    if (!FDb)
        CreateDb();
    return *FDb;
}

TSQLiteDatabase& TSqliteDbProductGroup::Db()
{
    if (!FDb)
        throw Exception(kNotOpen);
    return *FDb;
}

TRcResIdList* TSqliteDbProductGroup::GetIds()
{
    TSQLiteUniTable rows(Db(), kIds);
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    for (; !rows.Eof(); rows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(rtProductGroup, rows.FieldAsString(0)));
    return ids;
}

TRcProductGroup* TSqliteDbProductGroup::Load(const std::string& aId)
{
    TSQLiteUniTable row(Db(), kLoad);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    auto* group = RcCreateAndAutoRelease<TRcProductGroup>(row.FieldAsString(0), row.FieldAsDouble(2));
    group->FName = row.FieldAsString(1);
    group->FModifiedTime = row.FieldAsDouble(3);
    return group;
}

bool TSqliteDbProductGroup::Save(const TRcProductGroup* aGroup)
{
    TSQLiteDatabase& db = Db();
    bool existed = false;
    TTransaction::Run(db, [&] {
        existed = db.GetTableValue(kCount, [&](TSQLiteUniTable& q) { q.BindStr(1, aGroup->Id()); }) > 0;
        db.ExecSQL(kReplace, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aGroup->Id());
            q.BindStr(2, aGroup->FName);
            q.BindDouble(3, aGroup->FCreateTime);
            q.BindDouble(4, aGroup->FModifiedTime);
        });
    });
    return existed;
}

int TSqliteDbProductGroup::Delete(const TRcResPath* aResPath)
{
    const TRcResId* last = aResPath ? aResPath->Last() : nullptr;
    if (!last || !FDb)
        return 2;
    const std::string& id = last->Id();
    int result = 0;
    TTransaction::Run(*FDb, [&] {
        if (FDb->GetTableValue(kProductsOfGroup, [&](TSQLiteUniTable& q) { q.BindStr(1, id); }) > 0) {
            result = 1;
            return;
        }
        if (FDb->GetTableValue(kCount, [&](TSQLiteUniTable& q) { q.BindStr(1, id); }) == 0) {
            result = 2;
            return;
        }
        FDb->ExecSQL(kDelete, [&](TSQLiteQueryEx& q) { q.BindStr(1, id); });
    });
    return result;
}

void TSqliteDbProductGroup::DeleteAllProductGroup()
{
    TSQLiteDatabase& db = Db();
    TTransaction::Run(db, [&] { db.ExecSQL(kDeleteAll); });
}
