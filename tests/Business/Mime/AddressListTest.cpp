#include "Business/Mime/AddressList.h"
#include "Business/Mime/MailContact.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/RcRef.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressListTest, Parsing)
{
    using TItems = std::vector<TAddressItem>;
    struct TCase {
        const char* Text;
        TItems Items;
    } cases[] = {
        {"a@example.com", {{"", "a@example.com"}}},
        {"Zhang San <zs@example.com>", {{"Zhang San", "zs@example.com"}}},
        {"\"Wang, Wu\" <ww@example.com>, b@example.com", {{"Wang, Wu", "ww@example.com"}, {"", "b@example.com"}}},
        {"=?UTF-8?B?5byg5LiJ?= <zs@example.com>", {{"张三", "zs@example.com"}}},
        {"Team: x@example.com, y@example.com;", {{"", "x@example.com"}, {"", "y@example.com"}}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseAddressList(c.Text), c.Items) << c.Text;
}

TEST(AddressListTest, ContactRules)
{
    // Empty names take the user part; a non-ASCII "address" is a name.
    std::vector<TAddressItem> items = {{"", "li.lei@example.com"}, {"  ", "x@y.z"}, {"", "王经理"}, {"Kept", "k@e.com"}};
    NormalizeAddressList(items);
    EXPECT_EQ(items, (std::vector<TAddressItem>{{"li.lei", "li.lei@example.com"}, {"x", "x@y.z"}, {"王经理", ""},
                                                {"Kept", "k@e.com"}}));

    // The pattern is not anchored.
    for (const char* valid : {"a@example.com", "please write to a.b+c@mail.example.co.uk today", "x_y@a-b.cn"})
        EXPECT_TRUE(IsValidEmail(valid)) << valid;
    for (const char* invalid : {"", "a@example", "@example.com", "a b@", "张三"})
        EXPECT_FALSE(IsValidEmail(invalid)) << invalid;

    // One trailing full-width separator goes.
    EXPECT_EQ(StripTrailingFullWidthSeparator("a@b.c；"), "a@b.c");
    EXPECT_EQ(StripTrailingFullWidthSeparator("a@b.c，，"), "a@b.c，");
    EXPECT_EQ(StripTrailingFullWidthSeparator("a@b.c;"), "a@b.c;");
}

TEST(MailContactTest, SuggestionsAndMerging)
{
    TRetainCountObjectAutoReleasePool pool;
    auto list = MakeRc<TRcMailContactList>();
    EXPECT_TRUE(list->AddUnique(TRcMailContact::CreateAndAutoRelease("lisa", "lisa@example.com")));
    EXPECT_TRUE(list->AddUnique(TRcMailContact::CreateAndAutoRelease("Wang", "liwang@example.com")));
    EXPECT_TRUE(list->AddUnique(TRcMailContact::CreateAndAutoRelease("Li Wei", "wei@example.com")));
    // The address book's name stays; another letter case is another contact.
    EXPECT_FALSE(list->AddUnique(TRcMailContact::CreateAndAutoRelease("from a mail", "lisa@example.com")));
    EXPECT_TRUE(list->AddUnique(TRcMailContact::CreateAndAutoRelease("", "LISA@example.com")));
    EXPECT_EQ(list->Count(), 4);

    std::vector<std::string> shown;
    for (TRcMailContact* contact : *list->Suggestions("li"))
        shown.push_back(contact->SuggestionText());
    EXPECT_EQ(shown, (std::vector<std::string>{"\"lisa\" <lisa@example.com>", "\"Wang\" <liwang@example.com>"}));
    EXPECT_EQ(list->Last()->SuggestionText(), "LISA@example.com");
}

} // namespace
