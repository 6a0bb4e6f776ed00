#include "Business/Data/Schema.h"
#include "Business/Data/Databases.h"
#include "Business/Data/DataUpgrade.h"
#include "Business/Data/SchemaUpgrade.h"
#include "DataTestSupport.h"
#include "Runtime/DateTime.h"
#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

const char* kLive = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
const char* kDeleted = "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB";

bool Has(const std::vector<std::string>& aColumns, const std::string& aColumn)
{
    return std::find(aColumns.begin(), aColumns.end(), aColumn) != aColumns.end();
}

// An account database as an early version left it.
void WriteOldAccountDb(const fs::path& aPath)
{
    fs::create_directories(aPath.parent_path());
    TSQLiteDatabase db(aPath);
    db.ExecSQL("pragma user_version = 1");
    db.ExecSQL("create table [Info] (    [Field] text primary key  , [Value])");
    db.ExecSQL("create table [Mail] (    [Id] text primary key  , [Type] integer  , [Subject] text  , [NorvelUid] text)");
    db.ExecSQL("create table [AddresBookGroup] (    [Id] text primary key  , [Name] text  , [Createtime] real)");
    db.ExecSQL("create table [AddresBook] (    [Id] text primary key  , [GroupId] text  , [Email] text)");
    db.ExecSQL("create table [MailComplex] (    [Id] text primary key  , [Deleted] integer)");
    db.ExecSQL("create table [MailComplexFile] (    [Id] text primary key  , [ComplexId] text  , [Deleted] integer)");
    db.ExecSQL("insert into [Mail] values ('SRC', 1, 'original', ''), ('TR', 2, 'translation', 'SRC'), "
               "('OTHER', 1, 'plain', NULL)");
    db.ExecSQL("insert into [AddresBook] values ('C1', 'G', 'a@example.com'), ('C2', 'G', 'b@example.com')");
}

class UpgradeTest : public ::testing::Test {
protected:
    fs::path AccountDb(const char* aId) const { return FData.Path() / "Accounts" / aId / "Account.db"; }

    void WriteOldDataFolder()
    {
        {
            auto accounts = EnsureAccountsDb(FData.Path());
            accounts->ExecSQL("insert into [Account] values (?, 1, 0), (?, 2, 1), ('../../escape', 3, 0)",
                              [](TSQLiteQueryEx& q) {
                                  q.BindStr(1, kLive);
                                  q.BindStr(2, kDeleted);
                              });
        }
        WriteOldAccountDb(AccountDb(kLive));
        WriteOldAccountDb(AccountDb(kDeleted));
        fs::create_directories(FData.Path() / "Product");
        TSQLiteDatabase product(FData.Path() / "Product" / "Product.db");
        product.ExecSQL(schema::kProductGroup);
    }

    TScratchFolder FData;
};

TEST_F(UpgradeTest, NoAccountsMeansNoMarker)
{
    EXPECT_TRUE(RunDataUpgrade(FData.Path()));
    EXPECT_FALSE(fs::exists(FData.Path() / kUpgradeMarker));
    EnsureAccountsDb(FData.Path());
    EXPECT_TRUE(RunDataUpgrade(FData.Path()));
    EXPECT_FALSE(fs::exists(FData.Path() / kUpgradeMarker));
}

TEST_F(UpgradeTest, AnOldFolderIsBroughtUpToDateOnce)
{
    WriteOldDataFolder();
    const TDateTime before = Now();
    ASSERT_TRUE(RunDataUpgrade(FData.Path()));
    EXPECT_TRUE(fs::exists(FData.Path() / kUpgradeMarker));

    TSQLiteDatabase db(AccountDb(kLive));
    for (const char* table : {"MailHeader", "NameList", "Conversation", "ConversationItem", "ConversationAddress",
                              "promoteTemplate", "promoteTemplateitem", "promoteTemplateitemImage", "Sign"})
        EXPECT_TRUE(db.TableExists(table)) << table;
    const auto mail = ColumnsOf(db, "Mail");
    EXPECT_EQ(mail.size(), 27u);
    EXPECT_TRUE(Has(mail, "Secretaryer BOOLEAN"));
    EXPECT_TRUE(Has(mail, "QunFaFlag VARCHAR(2)"));
    EXPECT_TRUE(Has(ColumnsOf(db, "MailComplex"), "Promot BOOLEAN"));
    EXPECT_TRUE(Has(ColumnsOf(db, "MailComplexFile"), "NeedTranslate INTEGER"));
    // Present under another letter case: not added twice.
    EXPECT_EQ(ColumnsOf(db, "AddresBookGroup"), (std::vector<std::string>{"Id TEXT", "Name TEXT", "Createtime REAL"}));
    EXPECT_EQ(ColumnsOf(db, "AddresBook").size(), 27u);
    const auto schemaNow = SchemaOf(db);
    for (const char* index : {"Mail_Index_Date", "Mail_Index_MessageId", "MailComplexFile_Index_Deleted",
                              "AddresBook_Index_Name", "Conversation_Index_ConversationId",
                              "promoteTemplateItem_index_DeleteFlag", "promoteTemplateItemImage_index_CreateTime"})
        EXPECT_EQ(schemaNow.count(index), 1u) << index;

    TSQLiteUniTable times(db, "select CreateTime, ModifiedTime from AddresBook");
    int rows = 0;
    for (; !times.Eof(); times.Next(), ++rows) {
        EXPECT_EQ(times.FieldAsDouble(0), times.FieldAsDouble(1));
        EXPECT_GE(times.FieldAsDouble(0), before);
        EXPECT_LE(times.FieldAsDouble(0), Now());
    }
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(db.GetTableValue("select Type from Mail where Id = 'SRC'"), 7);
    EXPECT_EQ(db.GetTableValue("select Type from Mail where Id = 'OTHER'"), 1);

    // The deleted account was left as it was.
    TSQLiteDatabase deleted(AccountDb(kDeleted));
    EXPECT_FALSE(deleted.TableExists("MailHeader"));
    EXPECT_FALSE(fs::exists(FData.Path() / "escape"));

    TSQLiteDatabase product(FData.Path() / "Product" / "Product.db");
    EXPECT_TRUE(Has(ColumnsOf(product, "ProductGroup"), "ParentId TEXT"));
    EXPECT_TRUE(product.TableExists("ProductImage"));

    // Again, without the marker: nothing changes.
    const std::string account = DumpOf(db), products = DumpOf(product);
    fs::remove(FData.Path() / kUpgradeMarker);
    ASSERT_TRUE(RunDataUpgrade(FData.Path()));
    EXPECT_EQ(DumpOf(db), account);
    EXPECT_EQ(DumpOf(product), products);
}

TEST_F(UpgradeTest, AFailingStepRollsBackAndSaysSo)
{
    WriteOldDataFolder();
    {
        // Something named MailHeader that is not a table: creating the
        // table fails.
        TSQLiteDatabase db(AccountDb(kLive));
        db.ExecSQL("create view [MailHeader] as select 1");
    }
    ExpectMessage([&] { RunDataUpgrade(FData.Path()); }, "数据升级失败");
    EXPECT_FALSE(fs::exists(FData.Path() / kUpgradeMarker));
    TSQLiteDatabase db(AccountDb(kLive));
    EXPECT_FALSE(db.TableExists("NameList"));   // its step was rolled back
    EXPECT_FALSE(db.InTransaction());
}

TEST_F(UpgradeTest, MissingTablesAreSkipped)
{
    TSQLiteDatabase db(FData.Path() / "bare.db");
    const TColumnSpec columns[] = {{"x", "text"}};
    const char* const indexes[] = {"create index [i] ON [nothing]([x])"};
    EXPECT_NO_THROW(AddMissingColumns(db, "nothing", columns));
    EXPECT_NO_THROW(AddMissingIndexes(db, "nothing", indexes));
    EXPECT_NO_THROW(UpdateAccountDataBase(db));   // creates what it creates, skips the rest
    EXPECT_TRUE(db.TableExists("MailHeader"));
    EXPECT_FALSE(db.TableExists("Mail"));
}

} // namespace
