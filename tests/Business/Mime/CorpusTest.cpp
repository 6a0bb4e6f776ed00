// Real-world messages: Python's e-mail test data (from the installed
// Debian package, not copied here) and our own fixtures. Each must be
// taken apart without error, and every leaf of GMime's own tree must turn
// up in the result, as the HTML or text body, an inline file or an
// attachment, with the same decoded bytes.
#include "Business/Mime/Charset.h"
#include "Business/Mime/HeaderCoding.h"
#include "Business/Mime/MessageBuilder.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Mime/PromotionPayload.h"
#include "Runtime/AsciiText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kPythonCorpus = "/usr/lib/python3.11/test/test_email/data";

std::string ReadFile(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Each leaf with the boundaries around it, which tell where an attached
// message ends.
void Leaves(GMimeObject* aObject, std::vector<std::pair<GMimeObject*, TEnclosingBoundaries>>& aLeaves,
            TEnclosingBoundaries aAround = {})
{
    if (GMIME_IS_MULTIPART(aObject)) {
        if (const char* boundary = g_mime_multipart_get_boundary(GMIME_MULTIPART(aObject)))
            aAround.push_back(boundary);
        for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(aObject)); ++i)
            Leaves(g_mime_multipart_get_part(GMIME_MULTIPART(aObject), i), aLeaves, aAround);
    } else if (aObject) {
        aLeaves.emplace_back(aObject, aAround);
    }
}

bool Found(GMimeObject* aLeaf, const TEnclosingBoundaries& aAround, const TIdMessageBuilderHtmlEx& aResult)
{
    GMimeContentType* type = g_mime_object_get_content_type(aLeaf);
    const std::string media = type ? g_mime_content_type_get_media_type(type) : "";
    const std::string subtype = type ? g_mime_content_type_get_media_subtype(type) : "";
    if (media + "/" + subtype == kPromotionContentType)
        return true;   // becomes the HTML
    const std::string content = DecodedContentOf(aLeaf, aAround);
    for (const auto* list : {&aResult.Attachments, &aResult.HtmlFiles})
        for (const auto& item : *list)
            if (item.Data && *item.Data == content)
                return true;
    if (SameTextAscii(media, "text")) {
        const char* charset = g_mime_object_get_content_type_parameter(aLeaf, "charset");
        const std::string text = ToUtf8(content, charset ? charset : "");
        return text == aResult.Html || text == aResult.PlainText;
    }
    return false;
}

std::vector<fs::path> Corpus()
{
    std::vector<fs::path> files;
    for (const fs::path& folder : {kPythonCorpus, fs::path(QUILLMAR_MIME_FIXTURES)}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.path().extension() == ".txt" || entry.path().extension() == ".eml")
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(CorpusTest, EveryLeafSurvivesTakingApart)
{
    const auto files = Corpus();
    ASSERT_GE(files.size(), 50u) << "is libpython3.11-testsuite installed?";
    int leaves = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        TGObject<GMimeMessage> message = ParseMessage(ReadFile(file));
        TIdMessageBuilderHtmlEx result;
        ASSERT_NO_THROW(result.InitByIdMessage(message.get()));
        if (!message)
            continue;
        std::vector<std::pair<GMimeObject*, TEnclosingBoundaries>> parts;
        Leaves(g_mime_message_get_mime_part(message.get()), parts);
        for (const auto& [leaf, around] : parts) {
            ++leaves;
            EXPECT_TRUE(Found(leaf, around, result))
                << "lost a part of type " << g_mime_content_type_get_mime_type(g_mime_object_get_content_type(leaf));
        }
    }
    EXPECT_GT(leaves, 100);
}

TEST(CorpusTest, ChineseMailReadsAsWritten)
{
    const fs::path fixtures = QUILLMAR_MIME_FIXTURES;
    struct TCase {
        const char* File;
        const char* Subject;
        const char* From;
        const char* Body;
    } cases[] = {
        {"gb2312.eml", "询价：不锈钢螺丝", "王经理 <wang@example.cn>", "您好，请报价一万个不锈钢螺丝。"},
        {"gbk.eml", "订单确认 (GBK 字符: 镕)", "buyer@example.cn", "<p>订单已确认，朱镕基</p>"},
        {"big5.eml", "報價單", "tw@example.tw", "請參考附件的報價。"},
        {"8bit-headers.eml", "询价 测试", "王经理 <wang@example.cn>", "body"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        TGObject<GMimeMessage> message = ParseMessage(ReadFile(fixtures / c.File));
        ASSERT_TRUE(message);
        EXPECT_EQ(HeaderText(GMIME_OBJECT(message.get()), "Subject"), c.Subject);
        EXPECT_EQ(HeaderText(GMIME_OBJECT(message.get()), "From"), c.From);
        TIdMessageBuilderHtmlEx result;
        result.InitByIdMessage(message.get());
        EXPECT_EQ((result.Html.empty() ? result.PlainText : result.Html).substr(0, std::string(c.Body).size()), c.Body);
    }
    TIdMessageBuilderHtmlEx webmail;
    webmail.InitByIdMessage(ParseMessage(ReadFile(fixtures / "utf8-webmail.eml")).get());
    ASSERT_EQ(webmail.HtmlFiles.size(), 1u);
    EXPECT_EQ(webmail.HtmlFiles[0].ContentID, "img001@example.com");
    EXPECT_TRUE(webmail.Attachments.empty());   // inline only
    TIdMessageBuilderHtmlEx receipt;
    receipt.InitByIdMessage(ParseMessage(ReadFile(fixtures / "receipt.eml")).get());
    EXPECT_EQ(receipt.ReportMessageId, "<0123@example.com>");
}

} // namespace
