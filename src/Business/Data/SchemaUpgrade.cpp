#include "SchemaUpgrade.h"

#include "Schema.h"
#include "SqliteQuery.h"
#include "Runtime/DateTime.h"
#include "Runtime/IniFile.h"
#include "Runtime/Log.h"
#include "Runtime/TextFormat.h"
#include "Runtime/AsciiText.h"

#include <cctype>
#include <vector>

namespace {

// Names are quoted as identifiers, never spliced as values: "]" inside a
// name is doubled.
std::string Quoted(const std::string& aName)
{
    std::string quoted = "[";
    for (char c : aName) {
        quoted += c;
        if (c == ']')
            quoted += ']';
    }
    return quoted + "]";
}

// Field 1 of each row of a PRAGMA listing, lower-cased.
std::vector<std::string> PragmaNames(TSQLiteDatabase& aDb, const char* aPragma, const std::string& aTable)
{
    std::vector<std::string> names;
    TSQLiteUniTable rows(aDb, FormatText("PRAGMA %s(%s)", {aPragma, Quoted(aTable)}));
    for (; !rows.Eof(); rows.Next())
        names.push_back(AsciiLower(rows.FieldAsString(1)));
    return names;
}

bool Contains(const std::vector<std::string>& aNames, const std::string& aName)
{
    const std::string lower = AsciiLower(aName);
    for (const auto& name : aNames)
        if (name == lower)
            return true;
    return false;
}

// The index name of "create index [name] ON …".
std::string IndexNameOf(std::string_view aStatement)
{
    std::string_view rest = aStatement.substr(std::string_view("create index").size());
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    rest = rest.substr(0, rest.find(' '));
    if (rest.starts_with('['))
        rest.remove_prefix(1);
    if (rest.ends_with(']'))
        rest.remove_suffix(1);
    return std::string(rest);
}

// Runs one upgrade step in its own transaction (a savepoint when the
// caller has one open); any failure becomes "数据升级失败".
void UpgradeStep(TSQLiteDatabase& aDb, const char* aWhat, const std::function<void()>& aWork)
{
    try {
        TTransaction::Run(aDb, aWork);
    } catch (const std::exception& e) {
        TLog::O(lolError, "数据升级失败（%s，%s）：%s", {aWhat, aDb.Path().string(), e.what()});
        throw Exception(kDataUpgradeFailed);
    }
}

constexpr TColumnSpec kAddresBookColumns[] = {
    {"Id", "text"}, {"GroupId", "text"}, {"LastName", "text"}, {"FirstName", "text"}, {"Company", "text"},
    {"Department", "text"}, {"Office", "text"}, {"NickName", "text"}, {"Email", "text"}, {"CompanyWeb", "text"},
    {"CompanyTel", "text"}, {"PrivateTel", "text"}, {"Fax", "text"}, {"CompanyAddr", "text"}, {"ZipCode", "text"},
    {"CountriesRegions", "text"}, {"Languages", "text"}, {"ProductCategory", "text"}, {"CustomerLevel", "text"},
    {"NameCard", "blob"}, {"Memo", "text"}, {"HeadIcon", "text"}, {"QQ", "text"}, {"Birthday", "text"},
    {"Relation", "text"}, {"CreateTime", "real"}, {"ModifiedTime", "real"},
};
constexpr TColumnSpec kAddresBookGroupColumns[] = {{"Id", "text"}, {"Name", "text"}, {"CreateTime", "real"}};
constexpr TColumnSpec kMailColumns[] = {
    {"Id", "text"}, {"Type", "integer"}, {"SorceResId", "text"}, {"SorceType", "integer"}, {"SeenFlag", "integer"},
    {"SourceLanguage", "integer"}, {"TargetLanguage", "integer"}, {"SendReciveState", "integer"}, {"Uid", "text"},
    {"MessageId", "text"}, {"From", "text"}, {"To", "text"}, {"Subject", "text"}, {"Date", "real"},
    {"HasAttachmentFlag", "integer"}, {"Size", "integer"}, {"NorvelUid", "text"}, {"QunFaFlag", "Varchar(2)"},
    {"References", "Boolean"}, {"ReceiptSend", "Boolean"}, {"MailSummary", "text"}, {"reTranslation", "varchar(2)"},
    {"UserSecretary", "Boolean"}, {"Secretaryer", "Boolean"}, {"SecretaryFlag", "varchar(2)"},
    {"SecretaryedType", "varchar(2)"}, {"SecretaryMemo", "text"},
};
constexpr TColumnSpec kMailComplexColumns[] = {{"Id", "text"}, {"Deleted", "integer"}, {"Promot", "Boolean"}};
constexpr TColumnSpec kMailComplexFileColumns[] = {
    {"Id", "text"}, {"ComplexId", "text"}, {"Deleted", "integer"}, {"Type", "integer"}, {"SortNumber", "integer"},
    {"Valid", "integer"}, {"ContentId", "text"}, {"FileName", "text"}, {"NeedTranslate", "integer"},
};
constexpr TColumnSpec kMailHeaderColumns[] = {{"uid", "text"}, {"Data", "real"}, {"FromAddress", "string"}, {"Subject", "string"}};
constexpr TColumnSpec kNameListColumns[] = {
    {"Id", "text"}, {"UserID", "String"}, {"Name", "String"}, {"EmailAddr", "String"}, {"Type", "String"},
};
constexpr TColumnSpec kSignColumns[] = {{"Id", "text"}, {"SignName", "text"}};
constexpr TColumnSpec kSecretaryColumns[] = {
    {"Id", "text"}, {"SecretaryName", "String"}, {"SecretaryEmail", "String"}, {"CreateTime", "real"},
};
constexpr TColumnSpec kConversationColumns[] = {
    {"Id", "text"}, {"Subject", "String"}, {"ConversationType", "String"}, {"LastMailDate", "real"},
    {"CreateTime", "real"}, {"ModifyTime", "real"}, {"DeleteFlage", "Boolean"},
};
constexpr TColumnSpec kConversationItemColumns[] = {
    {"Id", "text"}, {"Conversationid", "String"}, {"EmailId", "String"}, {"ItemsType", "String"},
    {"MailDate", "real"}, {"CreateTime", "real"}, {"ModifyTime", "real"}, {"DeleteFlage", "Boolean"},
};
constexpr TColumnSpec kPromoteTemplateColumns[] = {
    {"Id", "text"}, {"Name", "text"}, {"PromotionContent", "text"}, {"DeleteFlag", "boolean"},
    {"CreateTime", "real"}, {"ModifiedTime", "real"}, {"DeleteTime", "real"},
};
constexpr TColumnSpec kPromoteTemplateItemColumns[] = {
    {"Id", "text"}, {"serialNumber", "integer"}, {"promoteTemplateId", "text"}, {"productid", "text"},
    {"DeleteFlag", "boolean"}, {"CreateTime", "real"}, {"ModifiedTime", "real"}, {"DeleteTime", "real"},
};
constexpr TColumnSpec kPromoteTemplateItemImageColumns[] = {
    {"Id", "text"}, {"serialNumber", "integer"}, {"promoteTemplateItemId", "text"}, {"productImageId", "text"},
    {"CreateTime", "real"}, {"ModifiedTime", "real"}, {"DeleteTime", "real"},
};
constexpr TColumnSpec kProductGroupColumns[] = {
    {"Id", "text"}, {"Name", "text"}, {"ParentId", "text"}, {"CreateTime", "real"}, {"ModifiedTime", "real"},
};
constexpr TColumnSpec kProductColumns[] = {
    {"Id", "text"}, {"GroupId", "text"}, {"Name", "text"}, {"Model", "text"}, {"Price", "real"},
    {"Inventory", "real"}, {"Remarks", "text"}, {"CreateTime", "real"}, {"ModifiedTime", "real"},
};
constexpr TColumnSpec kProductImageColumns[] = {
    {"Id", "text"}, {"ProductId", "text"}, {"ImageName", "text"}, {"CreateTime", "real"}, {"ModifiedTime", "real"},
};

// Account tables the upgrade creates when missing, in this order.
struct TTableStatement {
    const char* Table;
    const char* Statement;
};
constexpr TTableStatement kAccountTablesToCreate[] = {
    {"MailHeader", schema::kMailHeader},
    {"NameList", schema::kNameList},
    {"Conversation", schema::kConversation},
    {"ConversationItem", schema::kConversationItem},
    {"promoteTemplate", schema::kPromoteTemplate},
    {"promoteTemplateitem", schema::kPromoteTemplateItem},
    {"promoteTemplateitemImage", schema::kPromoteTemplateItemImage},
    {"Sign", schema::kSign},
};

} // namespace

void AddMissingColumns(TSQLiteDatabase& aDb, const std::string& aTable, std::span<const TColumnSpec> aColumns)
{
    if (!aDb.TableExists(aTable))
        return;
    UpgradeStep(aDb, aTable.c_str(), [&] {
        const auto existing = PragmaNames(aDb, "table_info", aTable);
        for (const auto& column : aColumns)
            if (!Contains(existing, column.Name))
                aDb.ExecSQL(FormatText("Alter Table %s Add %s %s", {Quoted(aTable), Quoted(column.Name), column.Type}));
    });
}

void AddMissingIndexes(TSQLiteDatabase& aDb, const std::string& aTable, std::span<const char* const> aStatements)
{
    if (!aDb.TableExists(aTable))
        return;
    // Looked at first, so a file that has them all (every open of an
    // account) takes no write lock.
    std::vector<const char*> missing;
    const auto existing = PragmaNames(aDb, "index_list", aTable);
    for (const char* statement : aStatements)
        if (!Contains(existing, IndexNameOf(statement)))
            missing.push_back(statement);
    if (missing.empty())
        return;
    UpgradeStep(aDb, aTable.c_str(), [&] {
        const auto now = PragmaNames(aDb, "index_list", aTable);
        for (const char* statement : missing)
            if (!Contains(now, IndexNameOf(statement)))
                aDb.ExecSQL(statement);
    });
}

bool HasColumns(TSQLiteDatabase& aDb, const std::string& aTable, std::initializer_list<const char*> aColumns)
{
    if (!aDb.TableExists(aTable))
        return false;
    const auto columns = PragmaNames(aDb, "table_info", aTable);
    for (const char* column : aColumns)
        if (!Contains(columns, column))
            return false;
    return true;
}

void AddAddressBookIndexes(TSQLiteDatabase& aDb)
{
    if (HasColumns(aDb, "AddresBook", {"Email", "LastName", "FirstName", "GroupId", "CreateTime"}))
        AddMissingIndexes(aDb, "AddresBook", schema::kAddresBookIndexes);
}

void AddConversationLookups(TSQLiteDatabase& aDb)
{
    if (!aDb.TableExists("ConversationAddress"))
        UpgradeStep(aDb, "ConversationAddress", [&] { aDb.ExecSQL(schema::kConversationAddress); });
    AddMissingIndexes(aDb, "ConversationAddress", schema::kConversationAddressIndexes);
    if (HasColumns(aDb, "ConversationItem", {"EmailId", "Conversationid", "MailDate"}))
        AddMissingIndexes(aDb, "ConversationItem", schema::kConversationItemLookupIndexes);
}

void UpdateAccountDataBase(TSQLiteDatabase& aDb)
{
    UpgradeStep(aDb, "CreateMissingTables", [&] {
        for (const auto& table : kAccountTablesToCreate)
            if (!aDb.TableExists(table.Table))
                aDb.ExecSQL(table.Statement);
    });

    AddMissingColumns(aDb, "Mail", kMailColumns);
    AddMissingColumns(aDb, "MailComplex", kMailComplexColumns);
    AddMissingColumns(aDb, "MailComplexFile", kMailComplexFileColumns);
    AddMissingColumns(aDb, "MailHeader", kMailHeaderColumns);
    AddMissingIndexes(aDb, "Mail", schema::kMailIndexes);
    AddMissingIndexes(aDb, "MailComplexFile", schema::kMailComplexFileIndexes);

    AddMissingColumns(aDb, "AddresBook", kAddresBookColumns);
    AddMissingColumns(aDb, "AddresBookGroup", kAddresBookGroupColumns);
    if (aDb.TableExists("AddresBook"))
        UpgradeStep(aDb, "AddresBook CreateTime", [&] {
            const TDateTime now = Now();
            aDb.ExecSQL("Update[AddresBook] set CreateTime = ? ,ModifiedTime=? where createtime is null",
                        [now](TSQLiteQueryEx& aQuery) {
                            aQuery.BindDouble(1, now);
                            aQuery.BindDouble(2, now);
                        });
        });
    AddAddressBookIndexes(aDb);

    AddMissingColumns(aDb, "NameList", kNameListColumns);
    AddMissingColumns(aDb, "Sign", kSignColumns);
    AddMissingColumns(aDb, "Conversation", kConversationColumns);
    AddMissingIndexes(aDb, "Conversation", schema::kConversationIndexes);
    AddMissingIndexes(aDb, "ConversationItem", schema::kConversationItemIndexes);
    AddMissingColumns(aDb, "ConversationItem", kConversationItemColumns);
    AddConversationLookups(aDb);
    AddMissingColumns(aDb, "promoteTemplate", kPromoteTemplateColumns);
    AddMissingColumns(aDb, "promoteTemplateitem", kPromoteTemplateItemColumns);
    AddMissingIndexes(aDb, "promoteTemplateItem", schema::kPromoteTemplateItemIndexes);
    AddMissingColumns(aDb, "promoteTemplateitemImage", kPromoteTemplateItemImageColumns);
    AddMissingIndexes(aDb, "promoteTemplateItemImage", schema::kPromoteTemplateItemImageIndexes);

    // A mail named by another mail's NorvelUid is that mail's translation
    // source (type 7). '' rather than "": no reliance on SQLite reading an
    // unknown identifier as a string.
    if (aDb.TableExists("Mail"))
        UpgradeStep(aDb, "Mail Type", [&] {
            aDb.ExecSQL("update [Mail] set Type= 7 where id in (select [NorvelUid] from [Mail] where [NorvelUid]<>'')");
        });
}

void UpdateProductDataBase(const std::filesystem::path& aDataFolder)
{
    const auto path = aDataFolder / "Product" / "Product.db";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return;
    TSQLiteDatabase db(path);
    UpgradeStep(db, "Product tables", [&] {
        if (!db.TableExists("ProductGroup"))
            db.ExecSQL(schema::kProductGroupWithParent);
        if (!db.TableExists("Product"))
            db.ExecSQL(schema::kProduct);
        if (!db.TableExists("ProductImage"))
            db.ExecSQL(schema::kProductImage);
    });
    AddMissingColumns(db, "ProductGroup", kProductGroupColumns);
    AddMissingColumns(db, "Product", kProductColumns);
    AddMissingColumns(db, "ProductImage", kProductImageColumns);
    AddMissingIndexes(db, "Product", schema::kProductIndexes);
    AddMissingIndexes(db, "ProductImage", schema::kProductImageIndexes);
}

void UpdateAccountsDataBase(TSQLiteDatabase& aDb)
{
    AddMissingColumns(aDb, "Secretary", kSecretaryColumns);
}
