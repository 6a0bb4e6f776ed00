// The office paste filter: what passes through untouched, what is
// rewritten, and headers that lie about the data.
#include "Ui/Utils/OfficeHtmlPasteFilter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const std::string kNs = "xmlns:o=\"urn:schemas-microsoft-com:office:office\"";

// A VML block with its plain alternative, as office programs write pictures.
std::string Picture(const std::string& aName)
{
    return "<!--[if gte vml 1]><v:shape id=\"" + aName + "\"><v:imagedata src=\"file:///C:/x/" + aName +
           ".png\"/></v:shape><![endif]--><![if !vml]><img width=10 height=10 src=\"file:///C:/x/" + aName +
           ".jpg\" v:shapes=\"" + aName + "\"><![endif]>";
}

std::string Ten(std::size_t aValue)
{
    char text[16];
    std::snprintf(text, sizeof text, "%010zu", aValue);
    return text;
}

// Clipboard data for aHtml as office programs write it: a header of
// 105 bytes (their own "Version:0.9"), offsets into the whole data, LF or
// CR LF line ends.
std::string Clipboard(const std::string& aHtml, const char* aEol = "\r\n")
{
    const std::string eol = aEol;
    const std::size_t header = std::string("Version:0.9" + eol + "StartHTML:" + Ten(0) + eol + "EndHTML:" + Ten(0) + eol +
                                           "StartFragment:" + Ten(0) + eol + "EndFragment:" + Ten(0) + eol)
                                   .size();
    const std::size_t fragment = aHtml.find("<!--StartFragment-->");
    const std::size_t fragmentEnd = aHtml.rfind("<!--EndFragment-->") + 18;
    return "Version:0.9" + eol + "StartHTML:" + Ten(header) + eol + "EndHTML:" + Ten(header + aHtml.size()) + eol +
           "StartFragment:" + Ten(header + fragment) + eol + "EndFragment:" + Ten(header + fragmentEnd) + eol +
           aHtml;
}

std::string OfficeHtml(const std::string& aFragment)
{
    return "<html " + kNs + " xmlns:v=\"urn:schemas-microsoft-com:vml\"><body lang=ZH-CN>\r\n"
           "<!--StartFragment-->" + aFragment + "<!--EndFragment-->\r\n</body>\r\n</html>";
}

std::size_t Field(const std::string& aData, const std::string& aKey)
{
    const std::size_t at = aData.find(aKey + ":");
    return std::stoul(aData.substr(at + aKey.size() + 1, 10));
}

TEST(OfficeHtmlPasteFilterTest, WhatIsNotOfficeHtmlWithPicturesPassesThrough)
{
    const std::string web = "<html><body><!--StartFragment--><p>web page</p><![if !vml]><img><![endif]>"
                            "<!--EndFragment--></body></html>";
    const struct {
        const char* Name;
        std::string Data;
    } cases[] = {
        {"a web page (no office namespace)", Clipboard(web)},
        {"office html without a VML block", Clipboard(OfficeHtml("<p>只有文字</p>"))},
        {"no fragment comments",
         Clipboard(OfficeHtml(Picture("a"))).replace(Clipboard(OfficeHtml(Picture("a"))).find("<!--EndFragment-->"), 18,
                                                     "<!--EndFragmentX->")},
        {"no StartHTML line", [] {
             std::string d = Clipboard(OfficeHtml(Picture("a")));
             d.replace(d.find("StartHTML"), 9, "StartHTMX");
             return d;
         }()},
        {"EndHTML beyond the data", [] {
             std::string d = Clipboard(OfficeHtml(Picture("a")));
             d.replace(d.find("EndHTML:") + 8, 10, "9999999999");
             return d;
         }()},
        {"StartHTML after EndHTML", [] {
             std::string d = Clipboard(OfficeHtml(Picture("a")));
             d.replace(d.find("StartHTML:") + 10, 10, Ten(d.size()));
             d.replace(d.find("EndHTML:") + 8, 10, Ten(10));
             return d;
         }()},
        {"a number too large for any type", [] {
             std::string d = Clipboard(OfficeHtml(Picture("a")));
             d.insert(d.find("EndHTML:") + 8, "99999999999999999999999");
             return d;
         }()},
        {"an offset that cuts the fragment comments off", [] {
             std::string d = Clipboard(OfficeHtml(Picture("a")));
             d.replace(d.find("EndHTML:") + 8, 10, Ten(d.find("<!--EndFragment-->") + 5));
             return d;
         }()},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(FilterOfficeClipboardHtml(c.Data).has_value()) << c.Name;
}

TEST(OfficeHtmlPasteFilterTest, PicturesKeepTheirPlainHtmlAndTheHeaderPointsIntoTheNewData)
{
    for (const char* eol : {"\r\n", "\n"}) {
        const std::string fragment = "<p>报价单：</p>" + Picture("image001") + "<p>型号 A</p>" + Picture("image002");
        const auto out = FilterOfficeClipboardHtml(Clipboard(OfficeHtml(fragment), eol));
        ASSERT_TRUE(out.has_value()) << "line ends " << (eol[0] == '\r' ? "CR LF" : "LF");
        const std::string& data = *out;

        EXPECT_EQ(data.find("v:shape id"), std::string::npos);
        EXPECT_EQ(data.find("[if"), std::string::npos);
        EXPECT_NE(data.find("<img width=10 height=10 src=\"file:///C:/x/image001.jpg\""), std::string::npos);
        EXPECT_NE(data.find("<img width=10 height=10 src=\"file:///C:/x/image002.jpg\""), std::string::npos);

        // Ten digits, zero-padded; the header is 107 bytes; the numbers
        // point at the data returned, which ends with four blanks.
        EXPECT_EQ(data.substr(0, 35), "Version:1.0\r\nStartHTML:0000000107\r\n");
        EXPECT_EQ(Field(data, "StartHTML"), 107u);
        EXPECT_EQ(Field(data, "EndHTML"), data.size());
        EXPECT_EQ(data.substr(105, 2), "\r\n");
        EXPECT_EQ(data.compare(107, 5, "<html"), 0);
        EXPECT_EQ(data.compare(Field(data, "StartFragment"), 20, "<!--StartFragment-->"), 0);
        EXPECT_EQ(data.compare(Field(data, "EndFragment") - 18, 18, "<!--EndFragment-->"), 0);
        EXPECT_EQ(data.substr(data.size() - 4), "    ");
        // Byte offsets: three bytes for each Chinese character before the fragment.
        EXPECT_EQ(Field(data, "StartFragment") - 107, OfficeHtml("").find("<!--StartFragment-->"));
    }
}

TEST(OfficeHtmlPasteFilterTest, ChineseTextCountsInBytes)
{
    const std::string before = "<p>价格表（含税）</p>";   // 7 Chinese characters before the fragment
    std::string html = OfficeHtml(Picture("a"));
    html.insert(html.find("<!--StartFragment-->"), before);
    const auto out = FilterOfficeClipboardHtml(Clipboard(html));
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(Field(*out, "StartFragment") - 107, html.find("<!--StartFragment-->"));
    EXPECT_EQ(before.size(), 7u + 7u * 3u);
}

TEST(OfficeHtmlPasteFilterTest, BlocksAreFoundIgnoringCaseAndAnUnclosedOneStays)
{
    std::string picture = Picture("a");
    for (char& c : picture)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    auto html = FilterOfficeHtml(kNs + picture + "<!--[if gte vml 1]><v:shape>open");
    ASSERT_TRUE(html.has_value());
    EXPECT_EQ(*html, kNs + "<IMG WIDTH=10 HEIGHT=10 SRC=\"FILE:///C:/X/A.JPG\" V:SHAPES=\"A\">" +
                         "<!--[if gte vml 1]><v:shape>open");
    EXPECT_FALSE(FilterOfficeHtml("<p>" + Picture("a") + "</p>").has_value()) << "no office namespace";
    EXPECT_FALSE(FilterOfficeHtml(kNs + "<p>no pictures</p>").has_value());
}

} // namespace
