// What the big-attachment box says: icon classes, size texts, and the
// escaping of links and names.
#include "Business/Server/Norvel/BigAttachment.h"
#include "Business/Server/Norvel/ByteSizeText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BigAttachmentTextTest, IconClassByExtension)
{
    struct TCase {
        const char* Name;
        const char* Class;
    } cases[] = {
        {"a.doc", "word"},      {"a.docx", "word"},    {"a.xls", "excel"},   {"a.xlsx", "excel"},
        {"a.rar", "rar"},       {"a.zip", "rar"},      {"a.7z", "rar"},      {"a.arj", "rar"},
        {"a.cab", "rar"},       {"a.txt", "txt"},      {"a.rtf", "txt"},     {"a.bmp", "bmp"},
        {"a.tiff", "bmp"},      {"a.jpg", "jpg"},      {"a.jpeg", "jpg"},    {"a.ppt", "ppt"},
        {"a.pptx", "ppt"},      {"a.exe", "exe"},      {"a.apk", "apk"},     {"report.pdf", "pdf"},
        {"a.png", "png"},       {"a.html", "browser"}, {"a.htm", "browser"}, {"a.xml", "browser"},
        {"a.xht", "browser"},   {"a.xhtml", "browser"}, {"a.svg", "browser"}, {"a.shtml", "browser"},
        {"a.mp3", "audio"},     {"a.wav", "audio"},    {"a.wave", "audio"},  {"a.ogg", "audio"},
        {"a.wma", "audio"},     {"a.aac", "audio"},    {"a.mp4", "video"},   {"a.rm", "video"},
        {"a.ram", "video"},     {"a.flv", "video"},    {"a.avi", "video"},   {"a.hlv", "video"},
        {"a.mka", "video"},     {"a.mkv", "video"},    {"a.mpeg", "video"},  {"a.mpeg1", "video"},
        {"a.mpg", "video"},     {"a.oga", "video"},
        // Case-sensitive, the last dot counts, no extension is "normal".
        {"Report.PDF", "normal"}, {"a.Doc", "normal"}, {"a.tar.gz", "normal"}, {"archive.pdf.zip", "rar"},
        {"README", "normal"},   {"a.", "normal"},      {".pdf", "pdf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BigAttachmentIconClass(c.Name), c.Class) << c.Name;
}

TEST(BigAttachmentTextTest, ByteSizeTextAsTheWindowsShellWritesIt)
{
    constexpr int64_t KB = 1024, MB = KB * 1024, GB = MB * 1024;
    struct TCase {
        int64_t Bytes;
        const char* Text;
    } cases[] = {
        {0, "0 bytes"},
        {1, "1 bytes"},
        {1023, "1023 bytes"},
        {1024, "1.00 KB"},
        {1535, "1.49 KB"},                    // cut, not rounded
        {1536, "1.50 KB"},
        {10 * KB - 1, "9.99 KB"},
        {10 * KB, "10.0 KB"},
        {100 * KB - 1, "99.9 KB"},
        {100 * KB, "100 KB"},
        {1000 * KB - 1, "999 KB"},
        {1000 * KB, "0.97 MB"},               // three digits at most: the next unit
        {MB, "1.00 MB"},
        {20 * MB, "20.0 MB"},
        {22466560, "21.4 MB"},
        {25 * MB, "25.0 MB"},
        {1000 * MB, "0.97 GB"},
        {5 * GB + GB / 2, "5.50 GB"},
        {1024 * GB, "1.00 TB"},
        {INT64_MAX, "7.99 EB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ByteSizeText(c.Bytes), c.Text) << c.Bytes;
}

TEST(BigAttachmentTextTest, TheListItemEscapesTheLinkAndTheName)
{
    const std::string link = BigAttachmentLink("files.example.com:8080/up", "AB12", "a&b \"<x>\".pdf");
    EXPECT_EQ(link, "http://files.example.com:8080/up?do=d&id=AB12&realName=a%26b%20%22%3Cx%3E%22.pdf"
                    "&extr=0&forcePartDownload=1");
    EXPECT_EQ(BigAttachmentLink("https://files.example.com/up", "1", "r.zip"),
              "https://files.example.com/up?do=d&id=1&realName=r.zip&extr=0&forcePartDownload=1");
    const std::string href = "http://h/?do=d&amp;id=1&amp;realName=x";
    EXPECT_EQ(BigAttachmentListItem("http://h/?do=d&id=1&realName=x", "<b>&\"'.pdf", 22466560),
              "<li><span><p><a href=\"" + href + "\">下载</a></p></span><div class=\"pdf\"></div><a href=\"" + href +
                  "\">&lt;b&gt;&amp;&quot;&#39;.pdf</a> （21.4 MB）</li>\n\r");
    EXPECT_EQ(BigAttachmentBox("ITEMS"), "<div class=\"attachbox\"><div class=\"title\"><p>Quillmar超大附件</p></div>     "
                                         "<div class=\"content\">       <ul>ITEMS        </ul>     </div> </div>");
}

} // namespace
