#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/GMimeLibrary.h"
#include "Business/Mime/GMimePtr.h"
#include "Business/Mime/HeaderCoding.h"
#include "Business/Mime/MessageBuilder.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Mime/PromotionPayload.h"
#include "Support/ExpectMessage.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Serialise(GMimeMessage* aMessage)
{
    return SerialiseMessage(aMessage);
}

TGObject<GMimeMessage> Parse(const std::string& aBytes)
{
    return ParseMessage(aBytes);
}

std::string TypeOf(GMimeObject* aObject)
{
    GMimeContentType* type = g_mime_object_get_content_type(aObject);
    return std::string(g_mime_content_type_get_media_type(type)) + "/" + g_mime_content_type_get_media_subtype(type);
}

// "type[child,child]" of a tree, as a receiver's parser sees it.
std::string Tree(GMimeObject* aObject)
{
    std::string text = TypeOf(aObject);
    if (GMIME_IS_MULTIPART(aObject)) {
        text += "[";
        for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(aObject)); ++i)
            text += (i ? "," : "") + Tree(g_mime_multipart_get_part(GMIME_MULTIPART(aObject), i));
        text += "]";
    }
    return text;
}

class MessageBuilderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureGMimeInitialised();
        FScratch = std::make_unique<TScratchFolder>("qm-mime");
        FFolder = FScratch->Path();
        std::ofstream(FFolder / "pic.png", std::ios::binary) << std::string("\x89PNG\r\n\x1a\n-picture-", 17);
        std::ofstream(FFolder / "offer.pdf", std::ios::binary) << "%PDF-1.4 offer";
    }
    void TearDown() override { FScratch.reset(); }

    TIdMessageBuilderAttachment Inline() const
    {
        TIdMessageBuilderAttachment item;
        item.FileName = FFolder / "pic.png";
        item.ContentID = "qmc_0123456789ABCDEF0123456789ABCDEF";
        item.Name = "图片.png";
        return item;
    }
    TIdMessageBuilderAttachment Attachment(bool aTranslate) const
    {
        TIdMessageBuilderAttachment item;
        item.FileName = FFolder / "offer.pdf";
        item.Name = "报价单.pdf";
        item.SetNeedTranslate(aTranslate);
        return item;
    }

    fs::path FFolder;
    std::unique_ptr<TScratchFolder> FScratch;
};

TEST_F(MessageBuilderTest, TheEightTreesAndBack)
{
    struct TCase {
        const char* Name;
        bool Inline, Attach, Promotion, Receipt;
        const char* Tree;
    } cases[] = {
        {"html", false, false, false, false, "multipart/alternative[text/plain,text/html]"},
        {"inline", true, false, false, false,
         "multipart/alternative[text/plain,multipart/related[text/html,image/png]]"},
        {"attachments", false, true, false, false,
         "multipart/mixed[multipart/alternative[text/plain,text/html],application/pdf]"},
        {"inline+attachments", true, true, false, false,
         "multipart/mixed[multipart/alternative[text/plain,multipart/related[text/html,image/png]],application/pdf]"},
        {"promotion", false, false, true, false,
         "multipart/alternative[text/plain,multipart/alternative[text/html,application/x-qmc-promot-v1]]"},
        {"promotion+inline", true, false, true, false,
         "multipart/alternative[text/plain,multipart/alternative[text/html,application/x-qmc-promot-v1,image/png]]"},
        {"promotion+attachments", false, true, true, false,
         "multipart/mixed[multipart/alternative[text/plain,multipart/alternative[text/html,application/"
         "x-qmc-promot-v1]],application/pdf]"},
        {"receipt", false, false, false, true,
         "multipart/report[multipart/alternative[text/plain,text/html],message/disposition-notification]"},
    };
    const std::string html = "<p>您好，报价见附件。</p><img src=\"cid:qmc_0123456789ABCDEF0123456789ABCDEF\">";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TIdMessageBuilderHtmlEx builder;
        builder.PlainText = builder.HtmlViewerNeededMsg;
        builder.Html = c.Receipt ? "<b>this a mail report！<b>" : html;
        builder.HtmlCharSet = "utf-8";
        builder.HtmlContentTransfer = "base64";
        if (c.Inline)
            builder.HtmlFiles.push_back(Inline());
        if (c.Attach)
            builder.Attachments.push_back(Attachment(false));
        if (c.Promotion)
            builder.PromotHtml = "<html>此邮件是Quillmar推广邮件</html>";
        if (c.Receipt) {
            builder.ReportMessageId = "<ABC@example.com>";
            TIdMessageBuilderAttachment report;
            report.Data = std::make_shared<const std::string>(ReadReceiptReport("me@example.com", "<ABC@example.com>"));
            report.ContentType = "message/disposition-notification";
            report.SetNeedTranslate(false);
            builder.Attachments.push_back(report);
        }
        TGObject<GMimeMessage> message(g_mime_message_new(TRUE));
        builder.FillMessage(message.get());
        TGObject<GMimeMessage> received = Parse(Serialise(message.get()));
        ASSERT_TRUE(received);
        EXPECT_EQ(Tree(g_mime_message_get_mime_part(received.get())), c.Tree);

        TIdMessageBuilderHtmlEx parsed;
        parsed.InitByIdMessage(received.get());
        if (c.Promotion) {
            // The real HTML comes back from the payload, blank-padded.
            EXPECT_EQ(parsed.Html.substr(0, html.size()), html);
            EXPECT_EQ(parsed.Html.find_first_not_of(' ', html.size()), std::string::npos);
        } else if (!c.Receipt) {
            EXPECT_EQ(parsed.Html, html);
        } else {
            EXPECT_EQ(parsed.ReportMessageId, "<ABC@example.com>");
        }
        EXPECT_EQ(parsed.HtmlFiles.size(), c.Inline ? 1u : 0u);
        if (c.Attach) {
            ASSERT_EQ(parsed.Attachments.size(), 1u);
            EXPECT_EQ(parsed.Attachments[0].Name, "offer.pdf");
            EXPECT_FALSE(parsed.Attachments[0].NeedTranslate());
            EXPECT_EQ(*parsed.Attachments[0].Data, "%PDF-1.4 offer");
        }
    }
}

TEST_F(MessageBuilderTest, AMissingAttachmentFileIsAnError)
{
    TIdMessageBuilderHtmlEx builder;
    builder.PlainText = "x";
    builder.Html = "<p>x</p>";
    TIdMessageBuilderAttachment item;
    item.FileName = FFolder / "gone.pdf";
    builder.Attachments.push_back(item);
    TGObject<GMimeMessage> message(g_mime_message_new(TRUE));
    EXPECT_THROW(builder.FillMessage(message.get()), Exception);
    EXPECT_TRUE(TIdMessageBuilderAttachment().NeedTranslate());   // no header: to be translated
    TIdMessageBuilderAttachment capital;
    capital.ExtraHeaders = {{"x-norvel-needtranslate", "True"}};
    EXPECT_FALSE(capital.NeedTranslate());   // only the exact "true" counts
}

TEST(PromotionPayloadTest, PaddingAndAKnownAnswer)
{
    // DES-ECB of "abcdefgh" under the payload key, computed with OpenSSL.
    const std::string cipher = EncipherPromotion("abcdefgh");
    ASSERT_EQ(cipher.size(), 16u);
    EXPECT_EQ(cipher.substr(0, 8), std::string("\x71\xc9\xac\x83\x93\x5c\xdf\x8c", 8));
    for (std::size_t k : {0u, 1u, 1024u}) {
        const std::string exact(8 * k, 'a'), oneMore(8 * k + 1, 'b');
        EXPECT_EQ(EncipherPromotion(exact).size(), 8 * k + 8);
        EXPECT_EQ(DecipherPromotion(EncipherPromotion(exact)), exact);   // no blanks added
        EXPECT_EQ(EncipherPromotion(oneMore).size(), 8 * k + 16);
        EXPECT_EQ(DecipherPromotion(EncipherPromotion(oneMore)), oneMore + std::string(7, ' '));
    }
    EXPECT_EQ(DecipherPromotion(EncipherPromotion("abc") + "xyz"), "abc     ");   // partial block ignored
    ExpectMessage([] { EncipherPromotion(std::string("a\0", 2)); }, "Error: the last char is NULL char.");
}

TEST(HeaderCodingTest, DecodingAndEncoding)
{
    const std::pair<const char*, const char*> cases[] = {
        // 张三 split inside 三, blank between the words
        {"=?UTF-8?B?5byg5A==?= =?UTF-8?B?uIk=?=", "张三"},
        {"=?gb2312?B?xOO6ww==?= =?utf-8?B?5LiW55WM?=", "你好世界"},
        {"Re: =?utf-8?Q?caf=C3=A9_au_lait?= ok", "Re: café au lait ok"},
        {"=?x-gbk?B?xOO6ww==?=", "你好"},
        {"=?ks_c_5601-1987?B?vsiz58fPvLy/5A==?=", "안녕하세요"},
        {"plain \xe4\xbd\xa0\xe5\xa5\xbd", "plain 你好"},
        {"gb \xc4\xe3\xba\xc3", "gb 你好"},
        {"=?utf-8?B?broken", "=?utf-8?B?broken"},
        {"=?UTF-8?B?5L2g?= =?UTF-8?B?5aW9?= =?utf-8?B?broken =?x?B?", "你好 =?utf-8?B?broken =?x?B?"},
        {"=?UTF-8?Q?a=3D?= =?UTF-8?Q?b?= c", "a=b c"},
        // 😀 split over three words, padding inside, the charset's case differs
        {"=?UTF-8?B?8A==?= =?UTF-8?B?n5g=?=\r\n =?utf-8?B?gA==?=", "😀"},
        {"Re: =?UTF-8?B?5L2g?= and =?UTF-8?B?5aW9?= =?gb2312?B?xOO6ww==?= ok", "Re: 你 and 好你好 ok"},
    };
    for (const auto& [raw, text] : cases)
        EXPECT_EQ(DecodeHeaderText(raw), text) << raw;
    std::string run = "=?UTF-8?B?5L2g?=", joined = "你";
    for (int i = 1; i < 3000; ++i) {
        run += i % 2 ? " =?UTF-8?B?5L2g?=" : "\r\n\t=?utf-8?b?5L2g?=";
        joined += "你";
    }
    const std::string decoded = DecodeHeaderText(run);
    EXPECT_TRUE(decoded == joined) << decoded.size() << " bytes, not " << joined.size();

    const std::string texts[] = {"Plain ASCII", "报价单 for 2027 年度", std::string(200, 'x') + "中文" + std::string(50, 'y')};
    for (const std::string& text : texts) {
        const std::string encoded = EncodeHeaderText(text);
        EXPECT_EQ(DecodeHeaderText(encoded), text);
        for (std::size_t at = 0, next; at < encoded.size(); at = next + 1) {
            next = encoded.find('\n', at);
            EXPECT_LE((next == std::string::npos ? encoded.size() : next) - at, 76u) << encoded;
            if (next == std::string::npos)
                break;
        }
    }
    EXPECT_EQ(EncodeHeaderText("a\r\nBcc: evil@example.com\x01"), "aBcc: evil@example.com");
    EXPECT_FALSE(EncodeHeaderText(std::string(100, '\x80')).empty());   // not UTF-8: still ends
}

TEST(ComposeTest, RepliesAndForwards)
{
    using TItems = std::vector<TAddressItem>;
    const TItems me = {{"Me", "me@example.com"}};
    // Replying to all of a mail that went only to me keeps me.
    EXPECT_EQ(ReplyRecipients({}, me, me, {}, true, " ME@example.com "), me);
    const TItems from = {{"A", "a@example.com"}}, to = {{"", "ME@example.com"}, {"B", "b@example.com"}},
                 cc = {{"", "A@Example.com"}, {"C", "c@example.com"}};
    EXPECT_EQ(ReplyRecipients({}, from, to, cc, true, "me@example.com"),
              (TItems{{"A", "a@example.com"}, {"B", "b@example.com"}, {"C", "c@example.com"}}));
    EXPECT_EQ(ReplyRecipients({{"R", "r@example.com"}, {"R2", "R@example.com"}}, from, to, cc, false, "x@example.com"),
              (TItems{{"R", "r@example.com"}}));
    EXPECT_EQ(ReplySubject("Offer"), "Re: Offer");
    EXPECT_EQ(ForwardSubject("Offer"), "Fw: Offer");
    EXPECT_EQ(EscapeHtml("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");
}

TEST(ComposeTest, AnEncodedLineBreakCannotInjectAHeader)
{
    EnsureGMimeInitialised();
    const std::string decoded = DecodeHeaderText("=?utf-8?B?SGkNCkJjYzogZXZpbEBleGFtcGxlLmNvbQ==?=");
    ASSERT_EQ(decoded, "Hi\r\nBcc: evil@example.com");
    TGObject<GMimeMessage> reply(g_mime_message_new(TRUE));
    SetEncodedHeader(GMIME_OBJECT(reply.get()), "Subject", ReplySubject(decoded));
    SetAddressHeader(GMIME_OBJECT(reply.get()), "To", {{"张\r\n三", "zs@example.com"}});
    TIdMessageBuilderHtmlEx builder;
    builder.PlainText = "body";
    builder.FillMessage(reply.get());
    const std::string text = Serialise(reply.get());
    EXPECT_EQ(text.find("\nBcc:"), std::string::npos) << text;
    EXPECT_NE(text.find("Subject: Re: HiBcc: evil@example.com\n"), std::string::npos) << text;
    TGObject<GMimeMessage> back = Parse(text);
    EXPECT_EQ(HeaderText(GMIME_OBJECT(back.get()), "To"), "张三 <zs@example.com>");
}

TEST(MessageParserTest, FileNamesForwardsAndReports)
{
    const std::string raw =
        "From: a@example.com\r\nSubject: x\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain; charset=gbk\r\n\r\n\xc4\xe3\xba\xc3\r\n"
        "--b\r\nContent-Type: application/pdf\r\n"
        "Content-Disposition: attachment; filename*=UTF-8''%E6%8A%A5%E4%BB%B7.pdf\r\n\r\n2231\r\n"
        "--b\r\nContent-Type: application/pdf; name=\"=?UTF-8?B?5oql5Lu3MjA0Ny5wZGY=?=\"\r\n"
        "Content-Disposition: attachment\r\n\r\n2047\r\n"
        "--b\r\nContent-Type: message/rfc822\r\n\r\nSubject: Offer\r\n\r\ninner\r\n"
        "--b\r\nContent-Type: message/rfc822\r\n\r\nSubject: Old.EML\r\n\r\ninner\r\n"
        "--b\r\nContent-Type: message/delivery-status\r\n\r\nStatus: 5.1.1\r\n"
        "--b\r\nContent-Type: application/x-unknown\r\n\r\n???\r\n"
        "--b--\r\n";
    TGObject<GMimeMessage> message = Parse(raw);
    TIdMessageBuilderHtmlEx parsed;
    parsed.InitByIdMessage(message.get());
    EXPECT_EQ(parsed.PlainText, "你好");
    std::vector<std::string> names;
    for (const auto& item : parsed.Attachments)
        names.push_back(item.Name + "=" + item.ContentType);
    EXPECT_EQ(names, (std::vector<std::string>{"报价.pdf=application/pdf", "报价2047.pdf=application/pdf",
                                               "Offer.eml=message/rfc822", "Old.EML=message/rfc822",
                                               "=message/delivery-status", "=application/x-unknown"}));
}

// A forwarded message kept as an attachment comes back byte for byte, line
// ends included: it may be signed, and the user may save and reopen it.
TEST(MessageParserTest, AnAttachedMessageComesBackAsItCame)
{
    const std::string inner =
        "From: =?UTF-8?B?5byg5LiJ?= <zhang@example.com>\r\nSubject: Offer\r\n"
        "Received: from mx.example.com\r\n\tby relay.example.net; Tue, 1 Dec 2026 10:00:00 +0800\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"in\"\r\n\r\n"
        "--in\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nPrices below.\r\n\r\n"
        "--in\r\nContent-Type: application/octet-stream; name=\"p.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nAAECAwQFBgcICQ==\r\n--in--\r\n";
    for (const char* newline : {"\r\n", "\n"}) {
        auto lines = [&](std::string aText) {
            if (std::string(newline) == "\n")
                for (std::size_t at; (at = aText.find("\r\n")) != std::string::npos;)
                    aText.erase(at, 1);
            return aText;
        };
        const std::string written = lines(inner);
        const std::string raw = lines("From: boss@example.com\r\nSubject: Fw: Offer\r\nMIME-Version: 1.0\r\n"
                                      "Content-Type: multipart/mixed; boundary=\"f\"\r\n\r\n"
                                      "--f\r\nContent-Type: text/plain\r\n\r\nSee below.\r\n"
                                      "--f\r\nContent-Type: message/rfc822\r\n\r\n") +
                                written + lines("\r\n--f--\r\n");
        SCOPED_TRACE(std::string(newline) == "\n" ? "LF" : "CRLF");
        TGObject<GMimeMessage> message = Parse(raw);
        TIdMessageBuilderHtmlEx parsed;
        parsed.InitByIdMessage(message.get());
        ASSERT_EQ(parsed.Attachments.size(), 1u);
        ASSERT_TRUE(parsed.Attachments[0].Data);
        EXPECT_EQ(*parsed.Attachments[0].Data, written);
    }
}

// Shapes that writing an attached message again would change: it must
// come back as the bytes it was in the mail, and end where its part ends,
// whether the mail was parsed from memory or from a file (as a large one
// is) and the part is kept in memory or streamed to a file.
TEST(MessageParserTest, AttachedMessageShapesComeBackExactly)
{
    EnsureGMimeInitialised();
    std::ifstream in(fs::path(QUILLMAR_MIME_FIXTURES) / "forwarded-as-written.eml", std::ios::binary);
    const std::string fixture{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string opening = "Content-Disposition: attachment\r\n\r\n";
    const std::size_t begin = fixture.find(opening) + opening.size();
    const std::size_t end = fixture.find("\r\n--f\r\n", begin);
    ASSERT_NE(end, std::string::npos);
    const auto forward = [](const std::string& aInner, const char* aTail = "\r\n--f--\r\n") {
        return "From: boss@example.com\r\nSubject: Fw\r\nMIME-Version: 1.0\r\n"
               "Content-Type: multipart/mixed; boundary=\"f\"\r\n\r\n"
               "--f\r\nContent-Type: text/plain\r\n\r\nSee below.\r\n"
               "--f\r\nContent-Type: message/rfc822\r\n\r\n" +
               aInner + aTail;
    };
    const std::string headersOnly = "From: a@example.com\r\nSubject: short\r\n";
    const std::string mixedEnds = "From: a@example.com\nSubject: mixed\n\nbody\r\nline\r\n";
    const std::string unterminated = "From: a@example.com\r\nContent-Type: multipart/mixed; boundary=in\r\n\r\n"
                                     "--in\r\nContent-Type: text/plain\r\n\r\nno end boundary\r\n";
    const std::string lookalikes = "Subject: nested\r\n\r\n--o-not a boundary\r\n--mx\r\n--m\tx\r\n-- \r\nsignature\r\n";
    struct TCase {
        const char* Shape;
        std::string Raw;
        std::string Attached;
    } cases[] = {
        {"fixture", fixture, fixture.substr(begin, end - begin)},
        {"headers only", forward(headersOnly), headersOnly},
        {"LF headers, CRLF body", forward(mixedEnds), mixedEnds},
        {"mail ends on the boundary", forward(mixedEnds, "\r\n--f--"), mixedEnds},
        {"the whole body, to the end", "From: boss@example.com\r\nMIME-Version: 1.0\r\nContent-Type: message/rfc822\r\n\r\n" +
                                           unterminated,
         unterminated},
        {"two multiparts around it",
         "From: boss@example.com\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"o\"\r\n\r\n"
         "--o\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n--m\r\nContent-Type: message/rfc822\r\n\r\n" +
             lookalikes + "\r\n--m \r\nContent-Type: text/plain\r\n\r\nafter\r\n--m--\r\n--o--\r\n",
         lookalikes},
    };
    TScratchFolder scratch("qm-mime");
    int files = 0;
    const auto scratchFile = [&](const std::string&) { return scratch.Path() / ("part" + std::to_string(++files)); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Shape);
        const fs::path mail = scratchFile("");
        std::ofstream(mail, std::ios::binary) << c.Raw;
        TGObject<GMimeStream> stream(g_mime_stream_fs_open(mail.c_str(), O_RDONLY, 0, nullptr));
        ASSERT_TRUE(stream);
        TGObject<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
        const TGObject<GMimeMessage> messages[] = {
            Parse(c.Raw), TGObject<GMimeMessage>(g_mime_parser_construct_message(parser.get(), nullptr))};
        std::vector<std::string> attached;
        for (const auto& message : messages) {
            TIdMessageBuilderHtmlEx inMemory, toFile;
            inMemory.InitByIdMessage(message.get());
            toFile.InitByIdMessage(message.get(), scratchFile);
            for (const auto& item : inMemory.Attachments)
                if (item.ContentType == "message/rfc822" && item.Data)
                    attached.push_back(*item.Data);
            for (const auto& item : toFile.Attachments)
                if (item.ContentType == "message/rfc822") {
                    std::ifstream file(item.FileName, std::ios::binary);
                    attached.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
                }
        }
        EXPECT_EQ(attached, std::vector<std::string>(4, c.Attached));
    }
}

// A multipart whose declared boundary never comes: its whole text is the
// body, never an empty mail.
TEST(MessageParserTest, AMultipartWithoutItsBoundaryKeepsItsText)
{
    std::ifstream in(fs::path(QUILLMAR_MIME_FIXTURES) / "boundary-never-comes.eml", std::ios::binary);
    const std::string fixture{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    struct TCase {
        const char* Shape;
        std::string Raw;
        std::vector<std::string> Texts;
        std::size_t Attachments;
    } cases[] = {
        {"the whole mail",
         "From: buyer@example.com\r\nSubject: order\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/alternative; boundary=\"never-comes\"\r\n\r\n"
         "Please send 500 pieces of model A7.\r\nRegards, Anna\r\n",
         {"Please send 500 pieces of model A7.", "Regards, Anna"},
         0},
        {"fixture", fixture, {"请发货：A7型，500件。", "Please send 500 pieces of model A7.", "Regards, Anna"}, 0},
        {"inside a multipart that is whole",
         "From: buyer@example.com\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"o\"\r\n\r\n"
         "--o\r\nContent-Type: multipart/alternative; boundary=\"never-comes\"\r\n\r\nThe order text.\r\n"
         "--o\r\nContent-Type: application/pdf; name=\"order.pdf\"\r\n\r\n%PDF\r\n--o--\r\n",
         {"The order text."},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Shape);
        TGObject<GMimeMessage> message = Parse(c.Raw);
        TIdMessageBuilderHtmlEx parsed;
        parsed.InitByIdMessage(message.get());
        for (const std::string& text : c.Texts)
            EXPECT_NE(parsed.PlainText.find(text), std::string::npos) << parsed.PlainText;
        EXPECT_EQ(parsed.Attachments.size(), c.Attachments);
    }
}

} // namespace
