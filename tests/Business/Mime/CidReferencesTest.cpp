// A page's "cid:" references become working paths or file URLs in one
// pass; every other byte stays.
#include "Business/Html/CidReferences.h"

#include <gtest/gtest.h>

namespace {

TEST(CidReferencesTest, OnlyWholeReferencesToKnownIdsChange)
{
    const std::vector<TCidReplacement> pictures = {
        {"a@x", "[A]"}, {"ab@x", "[AB]"}, {"Part1.0609@Example.com", "[P]"}, {"a@x", "[second entry of a@x]"}};
    struct TCase {
        const char* Page;
        const char* Kept;       // quotes kept
        const char* Replaced;   // quoted references lose their quotes
    } cases[] = {
        {"<img src=\"cid:a@x\">", "<img src=\"[A]\">", "<img src=[A]>"},
        {"<img src='CID:A@X'>", "<img src='[A]'>", "<img src=[A]>"},
        {"<td background=cid:ab@x>", "<td background=[AB]>", "<td background=[AB]>"},
        {"cid:a@xy cid:a@x.", "cid:a@xy cid:a@x.", "cid:a@xy cid:a@x."},   // the id goes on: not ours
        {"cid:a@x", "[A]", "[A]"},                                          // at the very end
        {"\"cid:a@x \"", "\"[A] \"", "\"[A] \""},                           // quotes not around the id alone
        {"cid:part1.0609@example.COM\"", "[P]\"", "[P]\""},
        {"cid:unknown@x cid: cid:", "cid:unknown@x cid: cid:", "cid:unknown@x cid: cid:"},
        {"<p>报价 cid:a@x，谢谢</p>", "<p>报价 cid:a@x，谢谢</p>", "<p>报价 cid:a@x，谢谢</p>"},   // UTF-8 continues ids
        {"<p>cid:a@x, cid:ab@x</p>", "<p>[A], [AB]</p>", "<p>[A], [AB]</p>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Page);
        EXPECT_EQ(ReplaceCidReferences(c.Page, pictures, TCidQuotes::Keep), c.Kept);
        EXPECT_EQ(ReplaceCidReferences(c.Page, pictures, TCidQuotes::Replace), c.Replaced);
    }
    EXPECT_EQ(ReplaceCidReferences("cid:a@x", {}, TCidQuotes::Keep), "cid:a@x");
}

} // namespace
