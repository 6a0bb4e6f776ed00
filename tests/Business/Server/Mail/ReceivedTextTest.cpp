// What receiving reads from a mail's text: the summary shown in the list,
// and whether the subject is too Chinese to be worth translating.
#include "Business/Html/BodyText.h"
#include "Business/Server/Mail/ChineseSubject.h"
#include "Business/Server/Mail/MailSummary.h"

#include <gtest/gtest.h>

namespace {

TEST(ReceivedTextTest, SummariesAreTheFirstHundredCharactersOfTheBodyOnOneLine)
{
    const std::string hundredChinese = [] {
        std::string text;
        for (int i = 0; i < 120; ++i)
            text += "价";
        return text;
    }();
    struct TCase {
        std::string Html;
        std::string Summary;
    } cases[] = {
        {"<html><head><title>no</title><style>p{}</style></head><body> <p>Dear  buyer,</p>\r\n\r\n<p>see\tbelow</p>"
         "<script>x()</script></body></html>",
         "Dear buyer, see below"},
        {"plain text without any markup", "plain text without any markup"},
        {"<p>&lt;b&gt; &amp; &nbsp;x</p>", "<b> & \u00a0x"},
        {"<body></body>", ""},
        {"<html><head><title>t</title></head><BODY class=\"x\"><!-- <p>hidden</p> -->a<br/>b &#x4E2D;&#25991; &copy;"
         " &unknown; x < y</body>",
         "ab 中文 © &unknown; x < y"},
        {"<p title=\"a > b\">text</p><textarea>no</textarea><noscript>no</noscript>", "text"},
        {"", ""},
        // Code points, not bytes: a hundred Chinese characters, none cut.
        {"<p>" + hundredChinese + "</p>", hundredChinese.substr(0, 300)},
        // The blanks after the hundredth character are not counted in.
        {"<p>" + std::string(99, 'a') + "   tail</p>", std::string(99, 'a')},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Html.substr(0, 60));
        EXPECT_EQ(MailSummaryOf(c.Html), c.Summary);
    }
}

TEST(ReceivedTextTest, AVeryDeepPageCostsNoMoreThanItsLength)
{
    std::string html = "<body>";
    for (int i = 0; i < 200000; ++i)
        html += "<div>";
    html += "deep";
    EXPECT_EQ(HtmlBodyText(html, 100), "deep");
}

TEST(ReceivedTextTest, ChineseSubjects)
{
    struct TCase {
        const char* Subject;
        bool Chinese;
    } cases[] = {
        {"Quarterly price list", false},
        {"询价：不锈钢螺丝", true},        // more than three ideographs
        {"Re: 报价 for steel pipes", false},   // two of twenty-one
        {"报价 ok", true},                 // two of five: at least a fifth
        {"价 abc", true},                  // one of five
        {"价 abcd", false},                // one of six
        {"", false},
        {"日本語", true},                  // ideographs are not only Chinese
        {"\xff\xfe broken", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Subject);
        EXPECT_EQ(HasChineseSubject(c.Subject), c.Chinese);
    }
}

} // namespace
