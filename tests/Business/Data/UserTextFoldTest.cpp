// Folding folds the non-ASCII runs of a text alone; the result must be what
// folding the whole text gives, whatever sits at the runs' edges.
#include "Business/Data/UserTextFold.h"

#include <glib.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string WholeFold(const std::string& aText)
{
    auto normal = std::unique_ptr<gchar, decltype(&g_free)>(
        g_utf8_normalize(aText.data(), static_cast<gssize>(aText.size()), G_NORMALIZE_ALL_COMPOSE), g_free);
    auto folded = std::unique_ptr<gchar, decltype(&g_free)>(g_utf8_casefold(normal.get(), -1), g_free);
    auto again = std::unique_ptr<gchar, decltype(&g_free)>(g_utf8_normalize(folded.get(), -1, G_NORMALIZE_ALL_COMPOSE),
                                                          g_free);
    return again.get();
}

TEST(UserTextFoldTest, FoldingByRunsEqualsFoldingTheWholeText)
{
    for (const std::string text : {
             "Re: 报价单 Quotation 4242",            // mixed scripts
             "Kunde Müller <buyer@example.com>",     // one letter
             "Cafe\xCC\x81 au lait",                  // e + combining acute after ASCII
             "e\xCC\x81",                              // the same at the start
             "ＱＵＯＴＡＴＩＯＮ Ｎｏ.１",             // full-width forms
             "\xEF\xAC\x81le and STRASSE Stra\xC3\x9F" "e",   // ligature fi, sharp s
             "\xE2\x84\xAA" "elvin",                  // Kelvin sign
             "\xC7\xB0" "ab",                          // ǰ folds to j + mark
             "\xE1\x84\x80\xE1\x85\xA1" "A",          // Hangul jamo compose
             "ÄPFEL",
             "A\xCC\x8A" "B",                          // A + ring then ASCII
             "x\xCC\x81\xCC\xA3y z",                   // two marks
         })
        EXPECT_EQ(FoldUserText(text), WholeFold(text)) << text;
    EXPECT_EQ(FoldUserText("ABC def"), "abc def");
    EXPECT_TRUE(ContainsUserText("Größe ÄPFEL offer", FoldUserText("äpfel")));
    EXPECT_TRUE(ContainsUserText("ＱＵＯＴＡＴＩＯＮ 1", FoldUserText("quotation")));
    EXPECT_FALSE(ContainsUserText("Apfelkuchen", FoldUserText("äpfel")));
}

} // namespace
