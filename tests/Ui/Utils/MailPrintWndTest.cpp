// The print window: the printable page of a mail (escaped header lines,
// then the whole body), written to PDF and read back as text; the preview
// and the print dialog end the window's modal run when they close.
#include "CountingHttpServer.h"
#include "HtmlViewSupport.h"

#include "Business/Data/WholeFile.h"
#include "Ui/Utils/MailPrintPage.h"
#include "Ui/Utils/MailPrintWnd.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

// A command's standard output.
std::string Output(const std::string& aCommand)
{
    std::string out;
    if (FILE* pipe = ::popen(aCommand.c_str(), "r")) {
        std::array<char, 4096> buffer;
        std::size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            out.append(buffer.data(), n);
        ::pclose(pipe);
    }
    return out;
}

std::string Quoted(const std::filesystem::path& aPath)
{
    return "'" + aPath.string() + "'";
}

// Closes the first modal dialog of type T that comes up, noting that it did
// (and, when screenshots are asked for, taking one of it and of the print
// window under it).
template <class T>
void CloseDialogWhenShown(bool& aSeen, const char* aShot = nullptr)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &aSeen, aShot] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            aSeen = true;
            const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR");
            if (dir && aShot) {
                Settle(1500);
                TFrmEmailPrint::Instance().SaveScreenshot(std::string(dir) + "/quillmar-print-window.png");
                dialog->grab().save(QString::fromStdString(std::string(dir) + "/" + aShot));
            }
            dialog->reject();
            timer->deleteLater();
        }
    });
    timer->start(50);
}

class MailPrintWndTest : public HtmlViewFixture {
protected:
    void SetUp() override
    {
        HtmlViewFixture::SetUp();
        TDuWindowManager::SetSkinFolder(QUILLMAR_PRODUCT_SKIN);
    }
    void TearDown() override
    {
        TFrmEmailPrint::FreeInstance();
        HtmlViewFixture::TearDown();
    }

    TRcMailComplex* Quotation(int aParagraphs)
    {
        std::string body = "<html><body><h2>报价单 Quotation</h2><img src=\"cid:pic1@quillmar.test\" width=\"120\">";
        for (int i = 1; i <= aParagraphs; ++i)
            body += "<p>第 " + std::to_string(i) + " 行：型号 QM-" + std::to_string(i) + "，单价 12.50 USD</p>";
        body += "<p>END-OF-MAIL</p></body></html>";
        return MailWithPicture(body, SolidPng(120, 40, 0x2f6fb5),
                               "From: \"Li Lei\" <lilei@example.cn>\r\n"
                               "To: Bob <bob@example.com>, carl@example.com\r\n"
                               "Subject: =?UTF-8?B?" + QByteArray("<b>价格</b> & terms").toBase64().toStdString() +
                                   "?=\r\n"
                                   "Date: Thu, 10 Dec 2026 09:30:05 +0000\r\n");
    }
};

TEST(MailPrintPageTest, HeaderLinesAreEscapedAndTheBodyFollows)
{
    const std::string page = MakeMailPrintPage({"<b>A</b> & \"B\"", "Ann <ann@x.com>", "b@y.com, c@z.com", "2026-12-10",
                                                "09:30:05"},
                                               "<p>body</p>");
    EXPECT_NE(page.find("<b>主题：</b>&nbsp;&lt;b&gt;A&lt;/b&gt; &amp; &quot;B&quot;</div>"), std::string::npos);
    EXPECT_NE(page.find("<b>发件人：</b>&nbsp;Ann &lt;ann@x.com&gt;</div>"), std::string::npos);
    EXPECT_NE(page.find("<b>收件人：</b>&nbsp;b@y.com, c@z.com</div>"), std::string::npos);
    EXPECT_NE(page.find("<b>发送时间：</b>&nbsp;2026-12-10\xC2\xA0" "09:30:05</div>"), std::string::npos);
    EXPECT_LT(page.find("发送时间"), page.find("<p>body</p>"));
    EXPECT_EQ(page.find("<b>A</b>"), std::string::npos);
}

TEST_F(MailPrintWndTest, AMailPrintedToPdfCarriesItsHeaderAndAllOfItsBody)
{
    TFrmEmailPrint& window = TFrmEmailPrint::Instance();
    window.SetMailComplex(Quotation(120));
    const auto pdf = FData / "mail.pdf";
    ASSERT_TRUE(window.PrintToPdf(nullptr, pdf));
    EXPECT_FALSE(window.IsVisible());
    window.SetMailComplex(nullptr);

    ASSERT_EQ(ReadWholeFile(pdf).substr(0, 5), "%PDF-");
    const std::string text = Output("pdftotext -layout " + Quoted(pdf) + " -");
    EXPECT_NE(text.find("主题： <b>价格</b> & terms"), std::string::npos) << text.substr(0, 600);
    EXPECT_NE(text.find("发件人： Li Lei <lilei@example.cn>"), std::string::npos);
    EXPECT_NE(text.find("收件人： Bob <bob@example.com>, carl@example.com"), std::string::npos);
    EXPECT_NE(text.find("发送时间： 2026-12-10"), std::string::npos);
    // A long mail goes on over several pages, to its last line.
    EXPECT_NE(text.find("END-OF-MAIL"), std::string::npos);
    const std::string info = Output("pdfinfo " + Quoted(pdf));
    EXPECT_EQ(info.find("Pages:          1\n"), std::string::npos) << info;

    if (const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR"))
        std::system(("pdftoppm -png -r 60 -f 1 -l 1 " + Quoted(pdf) + " " + Quoted(std::string(dir) + "/quillmar-print")).c_str());
}

TEST_F(MailPrintWndTest, ClosingThePreviewOrThePrintDialogEndsTheWindow)
{
    TFrmEmailPrint& window = TFrmEmailPrint::Instance();
    window.SetMailComplex(Quotation(3));

    bool previewShown = false;
    CloseDialogWhenShown<QPrintPreviewDialog>(previewShown, "quillmar-print-preview.png");
    window.Preview(nullptr);
    EXPECT_TRUE(previewShown);
    EXPECT_FALSE(window.IsVisible());

    bool dialogShown = false;
    CloseDialogWhenShown<QPrintDialog>(dialogShown);
    EXPECT_FALSE(window.Print(nullptr)) << "a cancelled print dialog prints nothing";
    EXPECT_TRUE(dialogShown);
    EXPECT_FALSE(window.IsVisible());
    window.SetMailComplex(nullptr);
}

TEST_F(MailPrintWndTest, WithoutAMailNothingIsPrintedAndTheWindowWaitsForItsUser)
{
    TFrmEmailPrint& window = TFrmEmailPrint::Instance();
    window.SetMailComplex(nullptr);
    bool stillOpen = false;
    window.AppendDelayBlock([&] {
        Settle(300);
        stillOpen = window.IsVisible();
        window.GetDuPluginByName("print_button_close").Click();
    });
    EXPECT_FALSE(window.Print(nullptr));
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(window.PageFile().empty());
}

} // namespace
