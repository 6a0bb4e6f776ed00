// Picture references of oddly written pages: each lies where its value is
// written, and splicing new values changes nothing else of the page.
#include "Business/Html/PictureReferences.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PictureReferencesTest, OddAttributesSpliceExactly)
{
    struct TCase {
        std::string Page;
        std::string Spliced;   // every reference replaced by "N"
    } cases[] = {
        {"<img src=a.png>", "<img src=\"N\">"},
        {"<img\tsrc\r\n=\r\n\"b.png\">x", "<img\tsrc\r\n=\r\n\"N\">x"},
        {"<img/src='c.png'/>", "<img/src=\"N\"/>"},
        {"<p><b\rbackground><p>D", "<p><b\rbackground><p>D"},     // valueless: nothing to rewrite
        {"<img src><b background>t", "<img src><b background>t"},
        {"<b background=x><p>y</b>z", "<b background=\"N\"><p>y</b>z"},   // <b> opened again: one reference
        {"<img src=\"a\" src=\"b\">", "<img src=\"N\" src=\"b\">"},         // the first of a name counts
        {"<table background = 'bg.jpg' ><tr><td>1", "<table background = \"N\" ><tr><td>1"},
        {"<IMG SRC=\"a&amp;b\">", "<IMG SRC=\"N\">"},
        {"<img\fsrc\f=\fa.png\f>x", "<img\fsrc\f=\f\"N\"\f>x"},
        {"<img src=a.png\rb>", "<img src=\"N\"\rb>"},                   // the CR ends the unquoted value
        // An unquoted value that opens with a character reference: gumbo's
        // written span starts after it.
        {"<img src=&amp;x.png>", "<img src=\"N\">"},
        {"<b background=&#65;b><p>t", "<b background=\"N\"><p>t"},
        {"<img src=&lt;>", "<img src=\"N\">"},
        {"<img src=>x", "<img src=>x"},                                 // empty: nothing to rewrite
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Page);
        const auto references = FindPictureReferences(c.Page);
        std::size_t end = 0;
        std::vector<std::pair<std::size_t, std::string>> all;
        for (std::size_t i = 0; i < references.size(); ++i) {
            EXPECT_GE(references[i].Offset, end);
            end = references[i].Offset + references[i].Length;
            EXPECT_LE(end, c.Page.size());
            all.emplace_back(i, "N");
        }
        EXPECT_EQ(ReplacePictureReferences(c.Page, references, {}), c.Page);
        EXPECT_EQ(ReplacePictureReferences(c.Page, references, all), c.Spliced);
    }
    EXPECT_EQ(FindPictureReferences("<IMG SRC=\"a&amp;b\">").front().Value, "a&b");
    EXPECT_EQ(FindPictureReferences("<img src=&amp;x.png>").front().Value, "&x.png");
}

} // namespace
