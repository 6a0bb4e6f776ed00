#include "Business/Resource/ResPath.h"
#include "Business/Resource/ResPathCheck.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Lookup3.h"
#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class ResPathTest : public ::testing::Test {
protected:
    TRetainCountObjectAutoReleasePool FPool;
};

TRcResId* Id(TResType aType, const char* aId)
{
    return TRcResId::CreateAndAutoRelease(aType, aId);
}

TRcResPath* Path(std::initializer_list<TRcResId*> aIds)
{
    return TRcResPath::CreateAndAutoRelease(aIds);
}

TEST(Lookup3Test, PublishedVectorsAndTheVariant)
{
    const char* text = "Four score and seven years ago";
    EXPECT_EQ(Lookup3HashLittle("", 0, 0), 0xDEADBEEFu);
    EXPECT_EQ(Lookup3HashLittle("", 0, 0xDEADBEEF), 0xBD5B7DDEu);
    EXPECT_EQ(Lookup3HashLittle(text, 30, 0), 0x17770551u);
    EXPECT_EQ(Lookup3HashLittle(text, 30, 1), 0xCD628161u);
    // The variant's values, computed apart from this code.
    EXPECT_EQ(ResHash(text, 30, 0), -1546694005);
}

TEST_F(ResPathTest, IdentifierEqualityHashAndText)
{
    EXPECT_TRUE(RcEquals(Id(rtAccount, "abc"), Id(rtAccount, "abc")));
    EXPECT_EQ(Id(rtAccount, "abc")->HashCode(), Id(rtAccount, "abc")->HashCode());
    EXPECT_FALSE(RcEquals(Id(rtAccount, "abc"), Id(rtAccount, "ABC")));
    EXPECT_FALSE(RcEquals(Id(rtAccount, "abc"), Id(rtAccountMail, "abc")));
    EXPECT_EQ(Id(rtAccount, "12")->HashCode(), -928282977);
    EXPECT_EQ(Id(rtAccountMail, "中文邮件")->HashCode(), 1697555869);   // hashed as UTF-16
    EXPECT_EQ(Id(rtAccount, "12")->ToString(), "Account:12");
    EXPECT_EQ(Id(rtProduct, "P1")->ToString(), ":P1");
    EXPECT_EQ(Id(rtPromoteTemplate, "T")->ToString(), "promoteTemplate:T");
}

TEST_F(ResPathTest, PathTextHashAndParts)
{
    const char* account = "0123456789ABCDEF0123456789ABCDEF";
    TRcResPath* folder = Path({Id(rtAccount, account), Id(rtAccountMailFolder, "InBox")});
    EXPECT_EQ(folder->HashCode(), -1876667729);
    EXPECT_EQ(Path({Id(rtAccount, account)})->HashCode(), Id(rtAccount, account)->HashCode());
    EXPECT_EQ(Path({})->HashCode(), 0);
    EXPECT_EQ(Path({})->ToString(), "\\");
    EXPECT_EQ(Path({Id(rtAccount, "a\\b"), Id(rtAccountMail, "m")})->ToString(), "\\Account:a\\\\b\\AccMail:m");

    TRcResPath* mail = folder->Append(Id(rtAccountMail, "M"));
    EXPECT_EQ(mail->Count(), 3);
    EXPECT_EQ(mail->Last()->Id(), "M");
    EXPECT_TRUE(RcEquals(mail->ParentPath(), folder));
    EXPECT_EQ(mail->ParentPath()->HashCode(), folder->HashCode());
    EXPECT_EQ(mail->LeftPath(3), mail);
    EXPECT_EQ(mail->LeftPath(9), mail);
    EXPECT_EQ(mail->LeftPath(0), nullptr);
    EXPECT_TRUE(RcEquals(mail->LeftPath(2), folder));
    EXPECT_EQ(Path({Id(rtAccount, "a")})->ParentPath(), nullptr);
    EXPECT_TRUE(RcEquals(TRcResPath::CreateByPathAndAutoRelease(folder, {Id(rtAccountMail, "M")}), mail));
    EXPECT_FALSE(RcEquals(mail, folder));
    EXPECT_THROW(mail->At(3), EArgumentOutOfRange);

    EXPECT_EQ(AccountResPathOf(nullptr), nullptr);
    EXPECT_EQ(AccountResPathOf(Path({Id(rtProduct, "p")})), nullptr);
    TRcResPath* accountPath = Path({Id(rtAccount, account)});
    EXPECT_EQ(AccountResPathOf(accountPath), accountPath);
    EXPECT_TRUE(RcEquals(AccountResPathOf(mail), accountPath));
    EXPECT_TRUE(IsAccountSignResPath(Path({Id(rtAccount, "a"), Id(rtSigin, "s")})));
    EXPECT_FALSE(IsAccountSignResPath(Path({Id(rtAccount, "a"), Id(rtSigin, "  ")})));
    EXPECT_FALSE(IsAccountSignResPath(Path({Id(rtAccount, "a")})));
}

struct TShapeCase {
    std::string (*Error)(const TRcResPath*);
    const char* Shape;
    std::vector<TResType> Types;   // the path's elements; nil for a missing path
    bool NilPath;
    const char* Message;           // "" when the path has the shape
};

TEST_F(ResPathTest, ShapeChecksAndTheirMessages)
{
    constexpr auto none = static_cast<TResType>(255);   // a nil element
    const TShapeCase cases[] = {
        {EmptyResPathError, "Empty", {}, true, ""},
        {EmptyResPathError, "Empty", {}, false, ""},
        {EmptyResPathError, "Empty", {rtAccount}, false, "资源路径不是nil，或者长度不为 0"},
        {AccountRootedResPathError, "AccountRooted", {}, true, "资源路径是 nil"},
        {AccountRootedResPathError, "AccountRooted", {}, false, "资源路径长度是 0"},
        {AccountRootedResPathError, "AccountRooted", {none}, false, "资源路径第1个资源ID 是 nil"},
        {AccountRootedResPathError, "AccountRooted", {rtProduct}, false, "资源路径结尾资源ID不是账户类型"},
        {AccountRootedResPathError, "AccountRooted", {rtAccount, rtProduct}, false, ""},
        {AccountResPathError, "Account", {rtAccount}, false, ""},
        {AccountResPathError, "Account", {rtAccount, rtAccount}, false, "资源路径长度不等于 1"},
        {AccountResPathError, "Account", {rtLetter}, false, "资源路径第1个资源不是账户类型"},
        {AccountResPathError, "Account", {none}, false, "资源路径第 1 个资源 是 nil"},
        {AccountMailFolderResPathError, "AccountMailFolder", {rtAccount}, false, "资源路径结尾资源ID不是账户文件夹类型"},
        {AccountMailFolderResPathError, "AccountMailFolder", {rtAccount, none}, false, "资源路径结尾资源ID 是 nil"},
        {AccountMailFolderResPathError, "AccountMailFolder", {rtAccount, rtAccountMailFolder}, false, ""},
        {AccountMailFolderResPathError, "AccountMailFolder", {rtAccount, rtAccountMailFolder, rtAccountMailFolder}, false, ""},
        {AccountMailResPathError, "AccountMail", {rtAccount, rtAccountMailFolder}, false, "资源路径结尾资源ID不是账户邮件类型"},
        {AccountMailResPathError, "AccountMail", {rtAccount, rtAccountMailFolder, rtAccountMail}, false, ""},
        {AddressBookFolderResPathError, "AddressBookFolder", {rtAccount}, false, "资源路径长度不等于 2"},
        {AddressBookFolderResPathError, "AddressBookFolder", {rtAccount, rtAccountAddressBookGroup}, false, "资源路径第 2 个资源不是账户地址簿文件夹类型"},
        {AddressBookGroupResPathError, "AddressBookGroup", {rtAccount, rtAccountAddressBookFolder, rtAccountAddressBook}, false, "资源路径第 3 个资源不是账户地址簿分组类型"},
        {AddressBookGroupResPathError, "AddressBookGroup", {rtProduct, rtAccountAddressBookFolder, rtAccountAddressBookGroup}, false, "资源路径第1个资源不是账户类型"},
        {AddressBookResPathError, "AddressBook", {rtAccount, rtAccountAddressBookFolder, rtAccountAddressBookGroup, none}, false, "资源路径第 4 个资源 是 nil"},
        {AddressBookResPathError, "AddressBook", {rtAccount, rtAccountAddressBookFolder, rtAccountAddressBookGroup, rtAccountAddressBookGroup}, false, "资源路径第 4 个资源不是账户地址簿类型"},
        {AddressBookResPathError, "AddressBook", {rtAccount, rtAccountAddressBookFolder, rtAccountAddressBookGroup, rtAccountAddressBook}, false, ""},
        {PromoteTemplateFolderResPathError, "PromoteTemplateFolder", {rtAccount, rtTemplateFolder}, false, "资源路径第 2 个资源不是账户推广模板文件夹类型"},
        {PromoteTemplateResPathError, "PromoteTemplate", {rtAccount, rtPromoteTemplateFolder, rtTemplate}, false, "资源路径第 3 个资源不是账户推广模板类型"},
        {PromoteTemplateResPathError, "PromoteTemplate", {rtAccount, rtPromoteTemplateFolder}, false, "资源路径长度不等于 3"},
        {PromoteTemplateItemResPathError, "PromoteTemplateItem", {rtAccount, rtPromoteTemplateFolder, rtPromoteTemplate, rtPromoteTemplate}, false, "资源路径第 4 个资源不是推广模板项类型"},
        {ConversationResPathError, "Conversation", {rtProduct, rtConversation}, false, ""},
        {ConversationResPathError, "Conversation", {none, rtConversation}, false, "资源路径第 1 个资源 是 nil"},
        {ConversationResPathError, "Conversation", {rtAccount, rtAccount}, false, "资源路径第 2 个资源不是会话类型"},
        {TemplateFolderResPathError, "TemplateFolder", {rtTemplateFolder}, false, ""},
        {TemplateFolderResPathError, "TemplateFolder", {rtTemplateFolder, rtTemplateFolder}, false, ""},
        {TemplateFolderResPathError, "TemplateFolder", {}, false, "资源路径长度不等于 1"},
        {TemplateFolderResPathError, "TemplateFolder", {rtTemplateFolder, rtTemplateFolder, rtTemplateFolder}, false, "资源路径长度不等于 2"},
        {TemplateFolderResPathError, "TemplateFolder", {rtTemplateFolder, rtTemplate}, false, "资源路径第 2 个资源不是模板文件夹类型"},
        {TemplateResPathError, "Template", {rtTemplateFolder, rtTemplate}, false, "资源路径长度不是 3"},
        {TemplateResPathError, "Template", {rtTemplateFolder, rtTemplateFolder, rtTemplate}, false, ""},
        {LetterFolderResPathError, "LetterFolder", {rtLetterFolder}, false, ""},
        {LetterFolderResPathError, "LetterFolder", {}, false, "资源路径长度是 0"},
        {LetterFolderResPathError, "LetterFolder", {rtLetter}, false, "资源路径第 1 个资源不是信纸文件夹类型"},
        {LetterResPathError, "Letter", {rtLetterFolder}, false, "资源路径长度不是 2"},
        {LetterResPathError, "Letter", {rtLetterFolder, rtLetterFolder}, false, "资源路径第 2 个资源不是信纸类型"},
    };
    for (const auto& c : cases) {
        std::vector<TRcResId*> ids;
        for (TResType type : c.Types)
            ids.push_back(type == none ? nullptr : Id(type, "x"));
        TRcResPath* path = c.NilPath ? nullptr : RcCreateAndAutoRelease<TRcResPath>(ids);
        EXPECT_EQ(c.Error(path), c.Message) << c.Shape << " " << (path ? path->ToString() : "nil");
    }
    ExpectMessage([] { CheckAccountMailResPath(nullptr); }, "资源路径是 nil");
    ExpectMessage([&] { CheckAccountMailFolderResPath(Path({Id(rtAccount, "a")})); }, "资源路径结尾资源ID不是账户文件夹类型");
    ExpectMessage([&] { CheckAccountRootedResPath(Path({})); }, "资源路径长度是 0");
    ExpectMessage([&] { CheckPromoteTemplateResPath(Path({Id(rtAccount, "a")})); }, "资源路径长度不等于 3");
    CheckAccountRootedResPath(Path({Id(rtAccount, "a")}));
    EXPECT_TRUE(IsAccountMailResPath(Path({Id(rtAccount, "a"), Id(rtAccountMail, "m")})));
}

} // namespace
