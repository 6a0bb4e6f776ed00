#include "NameList.h"

#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "Business/Data/Schema.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Mime/AddressList.h"
#include "Business/Resource/ResPathCheck.h"
#include "Business/Server/Norvel/PlatformRequests.h"
#include "MailFilter.h"
#include "RulesStore.h"
#include "Runtime/AsciiText.h"
#include "Runtime/GuidId.h"
#include "Runtime/IniFile.h"

namespace {

constexpr const char* kSelectIds = "select [id] from [NameList] where [Type] = ?";
constexpr const char* kSelectOne =
    "select [Id],[UserID],[Name], [EmailAddr] , [Type] from [NameList] where [id] = ?";
constexpr const char* kSelectList =
    "select    [Id] ,[UserID],[Name], [EmailAddr] , [Type] from [NameList] where ([Type] like ?)";
constexpr const char* kReplace =
    "replace into [NameList](   [Id] ,[UserID] , [Name], [EmailAddr] , [Type]) values(   ? , ?, ? , ? , ?  )";
constexpr const char* kDeleteOne = "delete from [NameList] where ([id] = ?)";
constexpr const char* kDeleteAll = "delete from [NameList]";
constexpr const char* kCheckByEmail = "select * from [NameList] where [EmailAddr]=? and [Type] = ?";
constexpr const char* kUpdateTypeByEmail = "update [NameList] set [Type]=? where [EmailAddr]=?";

std::string AccountIdOf(const TRcResPath* aResPath)
{
    return IsAccountRootedResPath(aResPath) ? aResPath->At(0)->Id() : std::string();
}

// The entry id a path ends with, or "".
std::string EntryIdOf(const TRcResPath* aResPath)
{
    if (!IsAccountRootedResPath(aResPath) || !aResPath->Last())
        return {};
    const TRcResId* last = aResPath->Last();
    if (!last->IsType(rtBlackNameList) && !last->IsType(rtWhiteNameList))
        return {};
    return last->Id();
}

// Addresses compare trimmed, with a to z upper-cased and nothing else.
std::string MatchKey(std::string_view aAddress)
{
    std::string key = Trimmed(aAddress);
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key;
}

bool ListHolds(const TRcNameLists* aList, const std::string& aAddress)
{
    if (!aList)
        return false;
    const std::string key = MatchKey(aAddress);
    for (const TRcNameList* entry : *aList)
        if (MatchKey(entry->FEmailAddr) == key)
            return true;
    return false;
}

// A display name as an RFC 822 quoted string's content: a quote or a
// backslash in a name would otherwise end the name early on the other side.
std::string QuotedNameText(const std::string& aName)
{
    std::string out;
    for (char c : aName) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

// `"name" <address>;` for every entry, the final ";" dropped.
std::string ListText(const TRcNameLists* aList)
{
    std::string text;
    for (const TRcNameList* entry : *aList) {
        text += '"';
        text += QuotedNameText(entry->FName);
        text += "\" <";
        text += entry->FEmailAddr;
        text += ">;";
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

// The platform separates entries with ";" as well as ","; the address
// parser takes commas, so top-level semicolons become commas (those inside
// quotes, comments or angle brackets stay).
std::vector<TAddressItem> ParsePlatformList(const std::string& aText)
{
    std::string text = aText;
    bool quoted = false;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<' || c == '(') {
            ++depth;
        } else if ((c == '>' || c == ')') && depth > 0) {
            --depth;
        } else if (c == ';' && depth == 0) {
            text[i] = ',';
        }
    }
    std::vector<TAddressItem> items = ParseAddressList(text);
    std::erase_if(items, [](const TAddressItem& aItem) { return Trimmed(aItem.Address).empty(); });
    return items;
}

// A JSON text field; a missing or null one is "".
std::string JsonText(const nlohmann::json& aObject, const char* aName)
{
    const auto it = aObject.find(aName);
    if (it == aObject.end() || it->is_null())
        return {};
    if (!it->is_string())
        throw Exception(std::string("平台返回的 ") + aName + " 不是文本");
    return it->get<std::string>();
}

// "receiveforeign" as a number or as a text holding one; anything else 0.
int ReceiveForeign(const nlohmann::json& aObject)
{
    const auto it = aObject.find("receiveforeign");
    if (it == aObject.end())
        return 0;
    if (it->is_number_integer())
        return it->get<int>();
    if (it->is_string()) {
        try {
            size_t used = 0;
            const std::string text = Trimmed(it->get<std::string>());
            const int value = std::stoi(text, &used);
            return used == text.size() ? value : 0;
        } catch (const std::exception&) {
            return 0;
        }
    }
    return 0;
}

} // namespace

std::string NameTypeToString(TNameListType aType)
{
    return aType == nltWhite ? "W" : "B";
}

TNameListType NameTypeFromString(const std::string& aLetter)
{
    return aLetter == "W" ? nltWhite : nltBlack;
}

TRcNameList::TRcNameList(TNameListType aType) : FId(NewGuidId()), FNameType(aType) {}

TRcNameList::TRcNameList(TSQLiteUniTable& aRow)
    : FId(aRow.FieldAsString(0)),
      FUserId(aRow.FieldAsString(1)),
      FName(aRow.FieldAsString(2)),
      FEmailAddr(aRow.FieldAsString(3)),
      FNameType(NameTypeFromString(aRow.FieldAsString(4)))
{
}

std::string TRcNameList::ToString() const
{
    if (!FName.empty())
        return FName;
    std::string text = "<id: ";
    text += FUserId;
    text += '>';
    return text;
}

void TSqliteDbNameList::InitNameListTable(const TRcResPath* aResPath)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    if (!db.TableExists("NameList"))
        db.ExecSQL(schema::kNameList);
}

TRcResIdList* TSqliteDbNameList::GetIds(const TRcResPath* aResPath, TNameListType aType)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    if (!db.TableExists("NameList"))
        return ids;
    const TResType type = aType == nltWhite ? rtWhiteNameList : rtBlackNameList;
    TSQLiteUniTable rows(db, kSelectIds);
    rows.BindStr(1, NameTypeToString(aType));
    for (; !rows.Eof(); rows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(type, rows.FieldAsString(0)));
    return ids;
}

TRcNameList* TSqliteDbNameList::Load(const TRcResPath* aResPath)
{
    const std::string id = EntryIdOf(aResPath);
    if (id.empty())
        return nullptr;
    TSQLiteUniTable row(RulesAccountDb(aResPath), kSelectOne);
    row.BindStr(1, id);
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcNameList>(row);
}

void TSqliteDbNameList::LoadList(const TRcResPath* aResPath, const std::string& aLetter, TRcNameLists* aList)
{
    aList->Clear();
    TSQLiteUniTable rows(RulesAccountDb(aResPath), kSelectList);
    rows.BindStr(1, aLetter);
    for (; !rows.Eof(); rows.Next())
        aList->Add(RcCreateAndAutoRelease<TRcNameList>(rows));
}

void TSqliteDbNameList::SaveIn(TSQLiteDatabase& aDb, const std::string& aUserId, const TRcNameList* aEntry)
{
    TSQLiteQueryEx query(aDb, kReplace);
    query.BindStr(1, aEntry->FId);
    query.BindStr(2, aUserId);
    query.BindStr(3, aEntry->FName);
    query.BindStr(4, aEntry->FEmailAddr);
    query.BindStr(5, NameTypeToString(aEntry->FNameType));
    query.Exec();
}

void TSqliteDbNameList::DeleteAllIn(TSQLiteDatabase& aDb)
{
    aDb.ExecSQL(kDeleteAll);
}

void TSqliteDbNameList::Save(const TRcResPath* aResPath, const TRcNameList* aEntry)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    const std::string userId = AccountIdOf(aResPath);
    TTransaction::Run(db, [&] { SaveIn(db, userId, aEntry); });
}

void TSqliteDbNameList::Delete(const TRcResPath* aResPath)
{
    const std::string id = EntryIdOf(aResPath);
    if (id.empty())
        return;
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    TTransaction::Run(db, [&] {
        TSQLiteQueryEx query(db, kDeleteOne);
        query.BindStr(1, id);
        query.Exec();
    });
}

void TSqliteDbNameList::DeleteAllNameList(const TRcResPath* aResPath)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    TTransaction::Run(db, [&] { DeleteAllIn(db); });
}

bool TSqliteDbNameList::CheckNameListByEmail(const TRcResPath* aResPath, const std::string& aAddress,
                                             TNameListType aType)
{
    TSQLiteUniTable rows(RulesAccountDb(aResPath), kCheckByEmail);
    rows.BindStr(1, aAddress);
    rows.BindStr(2, NameTypeToString(aType));
    return !rows.Eof();
}

void TSqliteDbNameList::UpdateNameListTypeByEmail(const TRcResPath* aResPath, const std::string& aAddress,
                                                  TNameListType aType)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    TTransaction::Run(db, [&] {
        TSQLiteQueryEx query(db, kUpdateTypeByEmail);
        query.BindStr(1, NameTypeToString(aType));
        query.BindStr(2, aAddress);
        query.Exec();
    });
}

TNameListManager::TNameListManager() : FObservable(MakeRc<TRcNameListObservable>()) {}

TNameListManager::~TNameListManager() = default;

void TNameListManager::Init(const TRcResPath* aResPath)
{
    std::lock_guard lock(FMutex);
    FLoadedAccountId.clear();
    if (!FBlackNameLists)
        FBlackNameLists = MakeRc<TRcNameLists>();
    if (!FWhiteNameLists)
        FWhiteNameLists = MakeRc<TRcNameLists>();
    FBlackNameLists->Clear();
    FWhiteNameLists->Clear();
    if (!IsAccountRootedResPath(aResPath))
        throw Exception("路径不是账户路径");
    try {
        TSqliteDbNameList::LoadList(aResPath, "B", FBlackNameLists.Get());
        TSqliteDbNameList::LoadList(aResPath, "W", FWhiteNameLists.Get());
    } catch (...) {
        // Half a load must not answer for the account.
        FBlackNameLists->Clear();
        FWhiteNameLists->Clear();
        throw;
    }
    FLoadedAccountId = AccountIdOf(aResPath);
}

void TNameListManager::UnInit()
{
    std::lock_guard lock(FMutex);
    FBlackNameLists.Reset();
    FWhiteNameLists.Reset();
    FLoadedAccountId.clear();
}

bool TNameListManager::IsLoadedFor(const TRcResPath* aResPath) const
{
    std::lock_guard lock(FMutex);
    return !FLoadedAccountId.empty() && FLoadedAccountId == AccountIdOf(aResPath);
}

bool TNameListManager::CheckWhitekName(const std::string& aEmailAdd) const
{
    std::lock_guard lock(FMutex);
    return !FLoadedAccountId.empty() && ListHolds(FWhiteNameLists.Get(), aEmailAdd);
}

bool TNameListManager::CheckBlackName(const std::string& aEmailAdd) const
{
    std::lock_guard lock(FMutex);
    return !FLoadedAccountId.empty() && ListHolds(FBlackNameLists.Get(), aEmailAdd);
}

void TNameListManager::GetBlackNameList(const TRcResPath* aResPath, TRcNameLists* aList)
{
    TSqliteDbNameList::LoadList(aResPath, "B", aList);
}

void TNameListManager::GetWhiteNameList(const TRcResPath* aResPath, TRcNameLists* aList)
{
    TSqliteDbNameList::LoadList(aResPath, "W", aList);
}

TRcResIdList* TNameListManager::GetBlackNameListIds(const TRcResPath* aResPath)
{
    return TSqliteDbNameList::GetIds(aResPath, nltBlack);
}

TRcResIdList* TNameListManager::GetWhiteNameListIds(const TRcResPath* aResPath)
{
    return TSqliteDbNameList::GetIds(aResPath, nltWhite);
}

TRcNameList* TNameListManager::CreateNameList(TNameListType aType)
{
    return RcCreateAndAutoRelease<TRcNameList>(aType);
}

bool TNameListManager::CheckNameListByEmail(const TRcResPath* aResPath, const std::string& aAddress,
                                            TNameListType aType)
{
    return TSqliteDbNameList::CheckNameListByEmail(aResPath, aAddress, aType);
}

void TNameListManager::UpdateNameListTypeByEmail(const TRcResPath* aResPath, const std::string& aAddress,
                                                 TNameListType aType)
{
    TSqliteDbNameList::UpdateNameListTypeByEmail(aResPath, aAddress, aType);
}

void TNameListManager::SaveNameList(const TRcResPath* aResPath, TRcNameList* aNameList)
{
    if (!aNameList || !IsAccountResPath(aResPath))
        return;
    TSqliteDbNameList::Save(aResPath, aNameList);
    aNameList->FUserId = AccountIdOf(aResPath);
    FObservable->NotifyChanged(aNameList->FNameType);
}

void TNameListManager::Insert(const TRcResPath* aResPath, const TAddressItem& aAddress, TNameListType aType)
{
    TRcNameList* entry = CreateNameList(aType);
    entry->FName = aAddress.Name;
    entry->FEmailAddr = aAddress.Address;
    SaveNameList(aResPath, entry);
}

void TNameListManager::InsertBlackNameList(const TRcResPath* aResPath, const TAddressItem& aAddress)
{
    Insert(aResPath, aAddress, nltBlack);
}

void TNameListManager::InsertWhiteNameList(const TRcResPath* aResPath, const TAddressItem& aAddress)
{
    Insert(aResPath, aAddress, nltWhite);
}

void TNameListManager::DeleteNameList(const TRcResPath* aResPath)
{
    TRcNameList* entry = TSqliteDbNameList::Load(aResPath);
    if (!entry)
        return;
    TSqliteDbNameList::Delete(aResPath);
    FObservable->NotifyChanged(entry->FNameType);
}

TNameListPlatformTexts TNameListManager::PlatformTexts(const TRcResPath* aResPath)
{
    TNameListPlatformTexts texts;
    auto list = MakeRc<TRcNameLists>();
    TSqliteDbNameList::LoadList(aResPath, "B", list.Get());
    texts.BlackList = ListText(list.Get());
    TSqliteDbNameList::LoadList(aResPath, "W", list.Get());
    texts.WhiteList = ListText(list.Get());
    auto filters = MakeRc<TRcMailFilters>();
    TSqliteDbMailFilter::LoadList(aResPath, filters.Get());
    for (const TRcMailFilter* filter : *filters) {
        texts.Keywords += filter->FFilter;
        texts.Keywords += ';';
    }
    if (!texts.Keywords.empty())
        texts.Keywords.pop_back();
    return texts;
}

void TNameListManager::SaveNameListMailFilterToTavro(const TPlatformContext& aContext, const TRcResPath* aResPath,
                                                     const std::string& aEmail)
{
    const TNameListPlatformTexts texts = PlatformTexts(aResPath);
    const TPlatformReply reply =
        ::SaveNameListMailFilterToTavro(aContext, aEmail, texts.BlackList, texts.WhiteList, texts.Keywords);
    if (!reply.Result)
        throw Exception(reply.ErrorText.empty() ? std::string(kNameListSaveFailed) : reply.ErrorText);
}

void TNameListManager::GetTavroNameListMailFilter(const TPlatformContext& aContext, const TRcResPath* aResPath,
                                                  const std::string& aEmail, int& aReceiveMailType)
{
    const TPlatformReply reply = ::GetNameListMailFilterToTavro(aContext, aEmail);
    if (!reply.Result)
        throw Exception(reply.ErrorText.empty() ? std::string("获取名单失败") : reply.ErrorText);
    ApplyPlatformNameListMailFilter(aResPath, reply.Data, aReceiveMailType);
}

void TNameListManager::ApplyPlatformNameListMailFilter(const TRcResPath* aResPath, const std::string& aInfo,
                                                       int& aReceiveMailType)
{
    if (!IsAccountResPath(aResPath))
        throw Exception("路径不是账户路径");
    // Everything is read before anything is written: a reply that cannot
    // be read leaves the local lists as they were.
    nlohmann::json object = nlohmann::json::parse(aInfo, nullptr, false);
    if (object.is_string())
        object = nlohmann::json::parse(object.get<std::string>(), nullptr, false);
    if (!object.is_object())
        throw Exception("平台返回的名单不是 JSON 对象");
    std::vector<std::string> keywords;
    {
        const std::string text = JsonText(object, "keywords");
        size_t start = 0;
        while (start <= text.size()) {
            const size_t end = std::min(text.find(';', start), text.size());
            if (end > start)
                keywords.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }
    const std::vector<TAddressItem> black = ParsePlatformList(JsonText(object, "blacklist"));
    const std::vector<TAddressItem> white = ParsePlatformList(JsonText(object, "whitelist"));
    const int receiveForeign = ReceiveForeign(object);

    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    const std::string userId = AccountIdOf(aResPath);
    TTransaction::Run(db, [&] {
        TSqliteDbNameList::DeleteAllIn(db);
        TSqliteDbMailFilter::DeleteAllIn(db);
        for (const std::string& keyword : keywords) {
            auto filter = MakeRc<TRcMailFilter>(keyword);
            TSqliteDbMailFilter::SaveIn(db, filter.Get());
        }
        auto save = [&](const std::vector<TAddressItem>& aItems, TNameListType aType) {
            for (const TAddressItem& item : aItems) {
                auto entry = MakeRc<TRcNameList>(aType);
                entry->FName = item.Name;
                entry->FEmailAddr = item.Address;
                TSqliteDbNameList::SaveIn(db, userId, entry.Get());
            }
        };
        save(black, nltBlack);
        save(white, nltWhite);
    });
    aReceiveMailType = receiveForeign;
    FObservable->NotifyChanged(nltBlack);
    FObservable->NotifyChanged(nltWhite);
    if (TMailFilterManager* filters = TMailFilterManager::MailFilterManager())
        filters->NotifyChanged();
}

bool TNameListManager::ExportNameList(const TRcResPath* aResPath, TNameListType aType, const std::string& aFileName)
{
    auto list = MakeRc<TRcNameLists>();
    TSqliteDbNameList::LoadList(aResPath, NameTypeToString(aType), list.Get());
    if (list->Count() == 0)
        return false;
    std::string text;
    for (const TRcNameList* entry : *list) {
        text += Trimmed(entry->FName);
        text += ',';
        text += entry->FEmailAddr;
        text += "\r\n";
    }
    std::ofstream out(aFileName, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out)
        throw Exception("写文件失败：" + aFileName);
    return true;
}

int TNameListManager::ImportNameList(const TRcResPath* aResPath, TNameListType aType, const std::string& aFileName)
{
    if (!IsAccountResPath(aResPath))
        return 0;
    std::ifstream in(aFileName, std::ios::binary);
    if (!in)
        throw Exception("读文件失败：" + aFileName);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string text = DecodeTextToUtf8(bytes);
    int added = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::erase(line, '\r');
        // A name may hold commas; an address never does.
        const size_t comma = line.rfind(',');
        if (comma == std::string::npos)
            continue;
        TAddressItem item{line.substr(0, comma), Trimmed(line.substr(comma + 1))};
        if (item.Address.empty() || CheckNameListByEmail(aResPath, item.Address, aType))
            continue;
        Insert(aResPath, item, aType);
        ++added;
    }
    return added;
}

std::string NameListExportFileName(const std::string& aChosen)
{
    constexpr std::string_view kExt = ".qm2";
    if (aChosen.size() >= kExt.size() && aChosen.compare(aChosen.size() - kExt.size(), kExt.size(), kExt) == 0)
        return aChosen;
    return aChosen + std::string(kExt);
}
