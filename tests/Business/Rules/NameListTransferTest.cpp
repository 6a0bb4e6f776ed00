// The name lists and subject filters copied to the maker's platform and
// back (through the fake maker's server) and through a ".qm2" file.
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/Mime/AddressList.h"
#include "Business/Rules/MailFilter.h"
#include "Business/Rules/NameList.h"
#include "Business/Resource/ResourceManager.h"
#include "Business/Server/Norvel/PlatformRequests.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/TextConvert.h"
#include "Support/AccountManagers.h"
#include "Support/FakeServerEnvironment.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

using TEntries = std::vector<std::pair<std::string, std::string>>;   // name, address

class NameListTransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TFakeServerEnvironment::Server()->Reset();
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        TNameListManager::BuildInstance();
        TMailFilterManager::BuildInstance();
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("seller@example.com");
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
        FContext.BaseUrl = TFakeServerEnvironment::Server()->BaseUrl();
        FContext.Options.ConnectTimeoutMs = 2000;
        FContext.Options.IdleTimeoutMs = 2000;
        FContext.Options.TotalTimeoutMs = 5000;
    }
    void TearDown() override
    {
        TMailFilterManager::ReleaseInstance();
        TNameListManager::ReleaseInstance();
        FAccount = nullptr;
        FManagers.reset();
    }
    TRcResPath* Account() { return TRcResPath::CreateAndAutoRelease({FAccount->ResId()}); }
    static TNameListManager* Lists() { return TNameListManager::NameListManager(); }
    static TMailFilterManager* Filters() { return TMailFilterManager::MailFilterManager(); }

    void Add(TNameListType aType, const TEntries& aEntries)
    {
        for (const auto& [name, address] : aEntries) {
            TRcNameList* entry = Lists()->CreateNameList(aType);
            entry->FName = name;
            entry->FEmailAddr = address;
            Lists()->SaveNameList(Account(), entry);
        }
    }
    TEntries Entries(TNameListType aType)
    {
        auto list = MakeRc<TRcNameLists>();
        if (aType == nltWhite)
            Lists()->GetWhiteNameList(Account(), list.Get());
        else
            Lists()->GetBlackNameList(Account(), list.Get());
        TEntries entries;
        for (const TRcNameList* entry : *list)
            entries.emplace_back(entry->FName, entry->FEmailAddr);
        return entries;
    }
    std::vector<std::string> Keywords()
    {
        auto list = MakeRc<TRcMailFilters>();
        Filters()->GetMailFilters(Account(), list.Get());
        std::vector<std::string> keywords;
        for (const TRcMailFilter* filter : *list)
            keywords.push_back(filter->FFilter);
        return keywords;
    }
    void Wipe()
    {
        TSqliteDbNameList::DeleteAllNameList(Account());
        TSqliteDbMailFilter::DeleteAllMailFilter(Account());
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-namelists"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    TPlatformContext FContext;
};

const TEntries kBlack = {
    {"Spam \"King\", Ltd", "spam@example.com"},
    {"垃圾邮件", "junk@example.cn"},
    {"", "bare@example.com"},
};
const TEntries kWhite = {
    {"Friend, Best", "friend@example.com"},
    {"王小明", "wang@example.cn"},
};

TEST_F(NameListTransferTest, UploadSendsThePlatformTexts)
{
    Add(nltBlack, {{"Spam", "spam@example.com"}, {"", "bare@example.com"}});
    Add(nltWhite, {{"Friend", "friend@example.com"}});
    Filters()->SaveMailFilter(Account(), Filters()->CreateMailFilter("cheap"));
    Filters()->SaveMailFilter(Account(), Filters()->CreateMailFilter("便宜"));
    const TNameListPlatformTexts texts = TNameListManager::PlatformTexts(Account());
    EXPECT_EQ(texts.BlackList, "\"Spam\" <spam@example.com>;\"\" <bare@example.com>");
    EXPECT_EQ(texts.WhiteList, "\"Friend\" <friend@example.com>");
    EXPECT_EQ(texts.Keywords, "cheap;便宜");
    Wipe();
    const TNameListPlatformTexts empty = TNameListManager::PlatformTexts(Account());
    EXPECT_EQ(empty.BlackList, "");
    EXPECT_EQ(empty.WhiteList, "");
    EXPECT_EQ(empty.Keywords, "");
}

TEST_F(NameListTransferTest, ListsRoundTripThroughThePlatform)
{
    Add(nltBlack, kBlack);
    Add(nltWhite, kWhite);
    Filters()->SaveMailFilter(Account(), Filters()->CreateMailFilter("cheap"));
    Filters()->SaveMailFilter(Account(), Filters()->CreateMailFilter("便宜 货"));
    Lists()->SaveNameListMailFilterToTavro(FContext, Account(), "seller@example.com");
    Wipe();
    Add(nltBlack, {{"stale", "stale@example.com"}});
    int receiveType = -1;
    Lists()->GetTavroNameListMailFilter(FContext, Account(), "seller@example.com", receiveType);
    EXPECT_EQ(Entries(nltBlack), kBlack);
    EXPECT_EQ(Entries(nltWhite), kWhite);
    EXPECT_EQ(Keywords(), (std::vector<std::string>{"cheap", "便宜 货"}));
    EXPECT_EQ(receiveType, 0);
}

TEST_F(NameListTransferTest, AFailedOrUnreadableDownloadKeepsTheLocalLists)
{
    Add(nltBlack, kBlack);
    Add(nltWhite, kWhite);
    Filters()->SaveMailFilter(Account(), Filters()->CreateMailFilter("cheap"));
    Lists()->SaveNameListMailFilterToTavro(FContext, Account(), "seller@example.com");
    const std::string path = "/mailOprAction!getUserExtraInfo.action";
    const TScriptedReply replies[] = {
        TScriptedReply::WithStatus(500),
        TScriptedReply::Text("<html>busy</html>"),
        TScriptedReply::FromJson({{"json", {{"result", "1"}, {"info", "not json"}}}}),
        TScriptedReply::FromJson({{"json", {{"result", "1"}, {"info", {{"blacklist", 5}}}}}}),
        TScriptedReply::FromJson({{"json", {{"result", "0"}, {"info", ""}}}}),
    };
    for (const TScriptedReply& reply : replies) {
        TFakeServerEnvironment::Server()->Script(path, {reply});
        int receiveType = -1;
        EXPECT_ANY_THROW(Lists()->GetTavroNameListMailFilter(FContext, Account(), "seller@example.com", receiveType));
        EXPECT_EQ(Entries(nltBlack), kBlack);
        EXPECT_EQ(Entries(nltWhite), kWhite);
        EXPECT_EQ(Keywords(), std::vector<std::string>{"cheap"});
        EXPECT_EQ(receiveType, -1);
    }
}

TEST_F(NameListTransferTest, ADownloadReadsReceiveForeignAsANumberOrAText)
{
    struct {
        nlohmann::json Value;
        int Expected;
    } const cases[] = {{1, 1}, {"1", 1}, {0, 0}, {"0", 0}, {"x", 0}, {nullptr, 0}};
    Add(nltWhite, kWhite);
    for (const auto& c : cases) {
        nlohmann::json info = {{"blacklist", "\"a\" <a@example.com>;b@example.com"}, {"whitelist", ""},
                               {"keywords", ";x;;y;"}};
        if (!c.Value.is_null())
            info["receiveforeign"] = c.Value;
        int receiveType = -1;
        Lists()->ApplyPlatformNameListMailFilter(Account(), info.dump(), receiveType);
        EXPECT_EQ(receiveType, c.Expected) << c.Value.dump();
        EXPECT_EQ(Entries(nltBlack), (TEntries{{"a", "a@example.com"}, {"", "b@example.com"}}));
        // The platform's empty list replaces the local one.
        EXPECT_EQ(Entries(nltWhite), TEntries{});
        EXPECT_EQ(Keywords(), (std::vector<std::string>{"x", "y"}));
    }
}

TEST_F(NameListTransferTest, ListsRoundTripThroughAQm2File)
{
    Add(nltBlack, kBlack);
    const std::string file = NameListExportFileName((FScratch.Path() / "black").string());
    EXPECT_EQ(file, (FScratch.Path() / "black.qm2").string());
    EXPECT_EQ(NameListExportFileName(file), file);
    ASSERT_TRUE(Lists()->ExportNameList(Account(), nltBlack, file));
    EXPECT_FALSE(Lists()->ExportNameList(Account(), nltWhite, (FScratch.Path() / "white.qm2").string()));
    EXPECT_FALSE(fs::exists(FScratch.Path() / "white.qm2"));
    Wipe();
    EXPECT_EQ(Lists()->ImportNameList(Account(), nltBlack, file), 3);
    EXPECT_EQ(Entries(nltBlack), kBlack);
    // A second import adds nothing already there.
    EXPECT_EQ(Lists()->ImportNameList(Account(), nltBlack, file), 0);
    EXPECT_EQ(Entries(nltBlack).size(), 3u);
}

TEST_F(NameListTransferTest, ImportReadsUtf8Utf16AndGb18030)
{
    const std::string text = "王小明,wang@example.cn\r\nA, B,ab@example.com\r\n";
    const std::u16string wide = Utf8ToUtf16(text);
    std::string utf16le = "\xFF\xFE";
    for (char16_t c : wide) {
        utf16le += static_cast<char>(c & 0xFF);
        utf16le += static_cast<char>(c >> 8);
    }
    const std::string gb = "\xCD\xF5\xD0\xA1\xC3\xF7,wang@example.cn\r\nA, B,ab@example.com\r\n";   // GB18030
    const std::string files[] = {text, "\xEF\xBB\xBF" + text, utf16le, gb};
    int index = 0;
    for (const std::string& bytes : files) {
        Wipe();
        const fs::path file = FScratch.Path() / ("in" + std::to_string(index++) + ".qm2");
        std::ofstream(file, std::ios::binary) << bytes;
        EXPECT_EQ(Lists()->ImportNameList(Account(), nltWhite, file.string()), 2) << index;
        EXPECT_EQ(Entries(nltWhite), (TEntries{{"王小明", "wang@example.cn"}, {"A, B", "ab@example.com"}})) << index;
    }
}

TEST_F(NameListTransferTest, ChecksAndTheStoreCompareAsStated)
{
    Add(nltWhite, {{"", " Friend@Example.com "}});
    Add(nltBlack, {{"", "spam@example.com"}});
    // Not loaded: nobody is white, nobody is black.
    EXPECT_FALSE(Lists()->CheckWhitekName("friend@example.com"));
    EXPECT_FALSE(Lists()->CheckBlackName("spam@example.com"));
    Lists()->Init(Account());
    EXPECT_TRUE(Lists()->CheckWhitekName("FRIEND@EXAMPLE.COM"));
    EXPECT_FALSE(Lists()->CheckWhitekName("spam@example.com"));
    EXPECT_TRUE(Lists()->CheckBlackName("  SPAM@example.com"));
    // The store compares exactly.
    EXPECT_FALSE(Lists()->CheckNameListByEmail(Account(), "friend@example.com", nltWhite));
    EXPECT_TRUE(Lists()->CheckNameListByEmail(Account(), "spam@example.com", nltBlack));
    EXPECT_FALSE(Lists()->CheckNameListByEmail(Account(), "spam@example.com", nltWhite));
    Lists()->UpdateNameListTypeByEmail(Account(), "spam@example.com", nltWhite);
    EXPECT_TRUE(Lists()->CheckNameListByEmail(Account(), "spam@example.com", nltWhite));
    EXPECT_EQ(Lists()->GetWhiteNameListIds(Account())->Count(), 2);
    EXPECT_EQ(Lists()->GetBlackNameListIds(Account())->Count(), 0);

    Filters()->SaveMailFilter(Account(), Filters()->CreateMailFilter(" sale "));
    EXPECT_FALSE(Filters()->CheckMailFilter("big sale now"));   // not loaded
    Filters()->Init(Account());
    EXPECT_TRUE(Filters()->CheckMailFilter("big sale now"));
    EXPECT_FALSE(Filters()->CheckMailFilter("big-sale-now"));
    EXPECT_FALSE(Filters()->CheckMailFilter("BIG SALE NOW"));
}

struct TRecordingObserver : public TRcObject, public INameListObserver, public IMailFilterObserver {
    void OnChanged(TNameListType aType) override { Changes.push_back(NameTypeToString(aType)); }
    void OnChanged() override { Changes.push_back("F"); }
    std::vector<std::string> Changes;
};

TEST_F(NameListTransferTest, ScreensListEachKindAndObserversHearOfChanges)
{
    auto observer = MakeRc<TRecordingObserver>();
    Lists()->RegisterObserver(observer.Get());
    Filters()->RegisterObserver(observer.Get());
    Add(nltWhite, {{"Friend", "friend@example.com"}});
    Add(nltBlack, {{"Spam", "spam@example.com"}, {"Junk", "junk@example.com"}});
    Filters()->SaveMailFilter(Account(), Filters()->CreateMailFilter("cheap"));

    const struct {
        TResType Type;
        std::vector<std::string> Texts;
    } kinds[] = {{rtWhiteNameList, {"Friend"}}, {rtBlackNameList, {"Spam", "Junk"}}, {rtFilter, {"cheap"}}};
    TResourceManager* resources = TResourceManager::ResourceManager();
    for (const auto& kind : kinds) {
        std::vector<std::string> texts;
        resources->List(Account(), kind.Type, [&](TRcResId* aId) {
            TRcResPath* path = Account()->Append(aId);
            if (kind.Type == rtFilter)
                texts.push_back(Filters()->GetMailFilter(path)->ToString());
            else
                texts.push_back(Lists()->GetNameList(path)->ToString());
        });
        EXPECT_EQ(texts, kind.Texts) << kind.Type;
    }
    TRcResId* junk = Lists()->GetBlackNameListIds(Account())->GetItem(1);
    Lists()->DeleteNameList(Account()->Append(junk));
    Lists()->DeleteNameList(Account()->Append(junk));   // gone: nobody hears of it
    EXPECT_EQ(Entries(nltBlack), (TEntries{{"Spam", "spam@example.com"}}));
    EXPECT_EQ(observer->Changes, (std::vector<std::string>{"W", "B", "B", "F", "B"}));
    Filters()->UnregisterObserver(observer.Get());
    Lists()->UnregisterObserver(observer.Get());
}

} // namespace
