#include "Business/Data/Databases.h"
#include "Business/Data/Schema.h"
#include "DataTestSupport.h"
#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <span>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// What sqlite_master keeps of a create statement: the leading keywords in
// capitals, and columns that ALTER TABLE added appended.
std::string Stored(const std::string& aStatement, const std::string& aAdded = "")
{
    const std::size_t second = aStatement.find(' ', aStatement.find(' ') + 1);
    std::string keywords = aStatement.substr(0, second);
    for (char& c : keywords)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string stored = keywords + aStatement.substr(second);
    if (!aAdded.empty())
        stored.insert(stored.size() - 1, ", " + aAdded);
    return stored;
}

std::map<std::string, std::string> Expected(std::initializer_list<std::pair<const char*, std::string>> aTables,
                                            std::initializer_list<const char*> aIndexes)
{
    std::map<std::string, std::string> expected;
    for (const auto& [name, statement] : aTables)
        expected[name] = "table: " + statement;
    for (const char* index : aIndexes) {
        const std::string text = index;
        const std::size_t open = text.find('[') + 1;
        expected[text.substr(open, text.find(']') - open)] = "index: " + Stored(text);
    }
    return expected;
}

mode_t ModeOf(const fs::path& aPath)
{
    struct stat st {};
    ::stat(aPath.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(SchemaTest, NewAccountDatabaseHoldsExactlyTheStatements)
{
    TScratchFolder data;
    const auto path = data.Path() / "Accounts" / "0123456789ABCDEF0123456789ABCDEF" / "Account.db";
    auto db = CreateAccountDatabase(path);
    using namespace schema;
    auto expected = Expected(
        {
            {"Info", Stored(kInfo)}, {"Mail", Stored(kMail)}, {"Sign", Stored(kSign)},
            {"AddresBookGroup", Stored(kAddresBookGroup)}, {"AddresBook", Stored(kAddresBook)},
            {"NameList", Stored(kNameList)}, {"Secretary", Stored(kSecretary)}, {"MailFilter", Stored(kMailFilter)},
            {"MailComplex", Stored(kMailComplex)}, {"MailComplexFile", Stored(kMailComplexFile)},
            {"MailHeader", Stored(kMailHeader)}, {"Conversation", Stored(kConversation)},
            {"ConversationItem", Stored(kConversationItem)},
            {"ConversationAddress", Stored(kConversationAddress)},
            {"promoteTemplate", Stored(kPromoteTemplate, "[ModifiedTime] real")},
            {"promoteTemplateitem", Stored(kPromoteTemplateItem)},
            {"promoteTemplateitemImage", Stored(kPromoteTemplateItemImage)},
        },
        {});
    for (std::span<const char* const> group :
         {std::span<const char* const>(kMailIndexes), std::span<const char* const>(kMailComplexFileIndexes),
          std::span<const char* const>(kAddresBookIndexes), std::span<const char* const>(kConversationIndexes), std::span<const char* const>(kConversationItemIndexes),
          std::span<const char* const>(kConversationItemLookupIndexes),
          std::span<const char* const>(kConversationAddressIndexes),
          std::span<const char* const>(kPromoteTemplateItemIndexes),
          std::span<const char* const>(kPromoteTemplateItemImageIndexes)})
        for (const char* index : group) {
            const std::string text = index;
            const std::size_t open = text.find('[') + 1;
            expected[text.substr(open, text.find(']') - open)] = "index: " + Stored(text);
        }
    EXPECT_EQ(SchemaOf(*db), expected);
    EXPECT_EQ(db->UserVersion(), 1);
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(ModeOf(path.parent_path()), 0700u);
    EXPECT_EQ(ModeOf(data.Path() / "Accounts"), 0700u);

    ExpectMessage([&] { CreateAccountDatabase(path); }, "账户数据库已经存在：" + path.string());
    db.reset();
    auto reopened = OpenAccountDatabase(path);
    EXPECT_EQ(SchemaOf(*reopened), expected);

    // An account made before the folder-and-date, address-book and
    // conversation lookups gets them when opened.
    reopened->ExecSQL("drop index [Mail_Index_TypeDate]");
    reopened->ExecSQL("drop index [AddresBook_Index_Email]");
    reopened->ExecSQL("drop index [ConversationItem_Index_EmailId]");
    reopened->ExecSQL("drop index [ConversationItem_Index_ConversationDate]");
    reopened->ExecSQL("drop table [ConversationAddress]");
    reopened.reset();
    EXPECT_EQ(SchemaOf(*OpenAccountDatabase(path)), expected);
}

TEST(SchemaTest, AFailedBuildLeavesNoFileBehind)
{
    TScratchFolder data;
    const auto path = data.Path() / "Accounts" / "0123456789ABCDEF0123456789ABCDEF" / "Account.db";
    static auto failing = [](TSQLiteDatabase& aDb) { aDb.ExecSQL("create table [Mail] ([x])"); };
    TAccountDb::RegisterCreateTableProc(+failing);
    EXPECT_THROW(CreateAccountDatabase(path), ESQLiteException);
    TAccountDb::UnRegisterCreateTableProc(+failing);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path.string() + "-journal"));
    // And the next attempt builds it.
    EXPECT_NO_THROW(CreateAccountDatabase(path));
}

TEST(SchemaTest, OtherFilesHoldTheirStatements)
{
    TScratchFolder data;
    using namespace schema;
    auto accounts = EnsureAccountsDb(data.Path());
    EXPECT_EQ(SchemaOf(*accounts), Expected({{"Account", Stored(kAccount)}, {"UserConfig", Stored(kUserConfig)},
                                             {"Secretary", Stored(kSecretary)}},
                                            {}));
    EXPECT_EQ(accounts->UserVersion(), 1);
    EXPECT_EQ(ModeOf(data.Path() / "Accounts" / "Accounts.db"), 0600u);

    auto product = OpenProductDatabase(data.Path());
    EXPECT_EQ(SchemaOf(*product), Expected({{"ProductGroup", Stored(kProductGroup)}, {"Product", Stored(kProduct)},
                                            {"ProductImage", Stored(kProductImage)}},
                                           {kProductIndexes[0], kProductImageIndexes[0]}));
    EXPECT_EQ(product->UserVersion(), 1);
    auto templates = OpenTemplatesDatabase(data.Path());
    EXPECT_EQ(SchemaOf(*templates), Expected({{"Template", Stored(kTemplate)}}, {}));
    auto letters = OpenLetterDatabase(data.Path());
    EXPECT_EQ(SchemaOf(*letters), Expected({{"Letter", Stored(kLetter)}}, {}));
    EXPECT_EQ(letters->UserVersion(), 1);
}

TEST(SchemaTest, EnsureAccountsDbCompletesAPartialFile)
{
    TScratchFolder data;
    fs::create_directories(data.Path() / "Accounts");
    {
        // A first preference saved by an older program: UserConfig alone.
        TSQLiteDatabase partial(data.Path() / "Accounts" / "Accounts.db");
        partial.ExecSQL(schema::kUserConfig);
        partial.ExecSQL("insert into [UserConfig] values ('DefaultRun', '-1')");
    }
    auto db = EnsureAccountsDb(data.Path());
    EXPECT_TRUE(db->TableExists("account"));
    EXPECT_TRUE(db->TableExists("Secretary"));
    EXPECT_EQ(db->UserVersion(), 1);
    EXPECT_EQ(db->GetTableValue("select count(*) from UserConfig"), 1);
    const std::string before = DumpOf(*db);
    db.reset();
    EXPECT_EQ(DumpOf(*EnsureAccountsDb(data.Path())), before);
}

TEST(SqliteTest, ValuesAreBoundAndEmptyTextStaysText)
{
    TScratchFolder data;
    TSQLiteDatabase db(data.Path() / "t.db");
    db.ExecSQL("create table t (k text primary key, v)");
    const std::string tricky = "x'); drop table t; --\"]";
    for (const std::string& value : {std::string(), tricky, std::string("中文")})
        db.ExecSQL("insert into t values (?, ?)", [&](TSQLiteQueryEx& q) {
            q.BindStr(1, value.empty() ? "empty" : value);
            q.BindStr(2, value);
        });
    EXPECT_EQ(db.GetTableValue("select count(*) from t where typeof(v) = 'text'"), 3);
    TSQLiteUniTable row(db, "select v from t where k = ?");
    row.BindStr(1, "empty");
    ASSERT_FALSE(row.Eof());
    EXPECT_FALSE(row.FieldIsNull(0));
    EXPECT_EQ(row.FieldAsString(0), "");
    EXPECT_TRUE(db.TableExists("T"));
    EXPECT_FALSE(db.TableExists("t' or '1'='1"));
}

TEST(SqliteTest, Errors)
{
    TScratchFolder data;
    try {
        TSQLiteDatabase db(data.Path() / "missing" / "x.db");
        FAIL();
    } catch (const ESQLiteException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Failed to open database", 0), 0u) << e.what();
    }
    TSQLiteDatabase db(data.Path() / "t.db");
    db.ExecSQL("create table t (k text primary key)");
    TSQLiteQueryEx insert(db, "insert into t values (?)");
    insert.BindStr(1, "a");
    insert.Exec();
    try {
        insert.Exec();   // the same key again
        FAIL();
    } catch (const ESQLiteException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error executing prepared SQL statement [insert into t values (?)]", 0), 0u)
            << e.what();
    }
    insert.BindStr(1, "b");   // reset: usable again
    insert.Exec();
    EXPECT_EQ(db.GetTableValue("select count(*) from t"), 2);
}

} // namespace

namespace {

TEST(SchemaTest, SystemDatabasesOfAnotherVersionAreIgnored)
{
    TScratchFolder program;
    EXPECT_EQ(OpenSystemDatabase(program.Path(), "SysTemplates", "Templates.db"), nullptr);
    std::filesystem::create_directories(program.Path() / "SysTemplates");
    std::filesystem::create_directories(program.Path() / "SysLetter");
    {
        TSQLiteDatabase templates(program.Path() / "SysTemplates" / "Templates.db");
        templates.ExecSQL(schema::kTemplate);
        templates.ExecSQL("pragma user_version = 2");
        TSQLiteDatabase letters(program.Path() / "SysLetter" / "Letter.db");
        letters.ExecSQL(schema::kLetter);
        letters.ExecSQL("pragma user_version = 1");
    }
    EXPECT_EQ(OpenSystemDatabase(program.Path(), "SysTemplates", "Templates.db"), nullptr);
    auto letters = OpenSystemDatabase(program.Path(), "SysLetter", "Letter.db");
    ASSERT_NE(letters, nullptr);
    EXPECT_TRUE(letters->TableExists("Letter"));
    EXPECT_THROW(letters->ExecSQL("delete from [Letter]"), ESQLiteException);   // read-only
}

} // namespace
