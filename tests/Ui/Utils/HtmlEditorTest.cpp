// The mail editor: commands on a selection and the HTML taken back, a
// picture from disk that becomes an inline part, filtered pastes, text
// from the input method, the caret at a marker, and a page whose own
// scripts do nothing.
#include "CountingHttpServer.h"
#include "HtmlViewSupport.h"

#include "Business/AccountMail/MailRaw.h"
#include "Business/Data/WholeFile.h"
#include "Business/Mime/MessageIo.h"
#include "Ui/Utils/HtmlEditor.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

class HtmlEditorTest : public HtmlHostFixture {
protected:
    void SetUp() override
    {
        HtmlHostFixture::SetUp();
        FEditor = CreateHtmlEditor(FForm->Host);
        FEditor->SetOnLoadFinished([this](bool aOk) { FLoaded = aOk ? 1 : 0; });
    }
    void TearDown() override
    {
        FEditor.reset();
        HtmlHostFixture::TearDown();
    }

    // A page to edit, written into the data folder and loaded.
    bool Load(const std::string& aBody, const std::vector<std::filesystem::path>& aAllowed = {})
    {
        const auto page = FData / ("page" + std::to_string(++FPages) + ".html");
        WriteWholeFile(page, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>t</title></head><body>" +
                                 aBody + "</body></html>");
        FLoaded = -1;
        FEditor->LoadHtmlFile(page, aAllowed);
        return WaitUntil([this] { return FLoaded >= 0; }) && FLoaded == 1;
    }
    std::string Html()
    {
        std::optional<std::string> html;
        FEditor->GetHtml([&](const std::string& aHtml) { html = aHtml; });
        WaitUntil([&] { return html.has_value(); }, 10000);
        return html.value_or("(no answer)");
    }
    std::string Body()
    {
        const std::string html = Html();
        const auto begin = html.find("<body>");
        const auto end = html.rfind("</body>");
        return begin == std::string::npos || end == std::string::npos ? html : html.substr(begin + 6, end - begin - 6);
    }
    // Selects the contents of the element with that id.
    void Select(const char* aId)
    {
        RunOwnScript(WebView(), QStringLiteral("(function(){var r=document.createRange();"
                                               "r.selectNodeContents(document.getElementById('%1'));"
                                               "var s=window.getSelection();s.removeAllRanges();s.addRange(r);"
                                               "return true;})()")
                                    .arg(QLatin1String(aId)));
    }
    // The caret at the marker, waited for.
    bool Caret(const char* aId)
    {
        std::optional<bool> found;
        FEditor->PlaceCaretAt(aId, [&](bool aFound) { found = aFound; });
        WaitUntil([&] { return found.has_value(); }, 10000);
        return found.value_or(false);
    }
    void Type(const QString& aText)
    {
        QWidget* input = WebView()->focusProxy();
        ASSERT_NE(input, nullptr);
        QInputMethodEvent event;
        event.setCommitString(aText);
        QCoreApplication::sendEvent(input, &event);
        Settle(100);
    }

    std::unique_ptr<IHtmlEditor> FEditor;
    int FLoaded = -1;
    int FPages = 0;
};

TEST_F(HtmlEditorTest, CommandsOnASelectionComeBackInTheHtml)
{
    const struct {
        THtmlEditCommand Command;
        const char* Value;
        const char* Expected;   // the paragraph as it comes back
    } cases[] = {
        {THtmlEditCommand::Bold, "", "<p id=\"t\"><b>Hello 世界</b></p>"},
        {THtmlEditCommand::Italic, "", "<p id=\"t\"><i>Hello 世界</i></p>"},
        {THtmlEditCommand::Underline, "", "<p id=\"t\"><u>Hello 世界</u></p>"},
        {THtmlEditCommand::FontName, "SimSun", "<p id=\"t\"><font face=\"SimSun\">Hello 世界</font></p>"},
        {THtmlEditCommand::FontSize, "5", "<p id=\"t\"><font size=\"5\">Hello 世界</font></p>"},
        {THtmlEditCommand::ForeColor, "#c00000", "<p id=\"t\"><font color=\"#c00000\">Hello 世界</font></p>"},
        // The engine puts a list where the selection is, inside the paragraph.
        {THtmlEditCommand::OrderedList, "", "<p id=\"t\"><ol><li>Hello 世界</li></ol></p>"},
        {THtmlEditCommand::UnorderedList, "", "<p id=\"t\"><ul><li>Hello 世界</li></ul></p>"},
        {THtmlEditCommand::AlignCenter, "", "<p id=\"t\" style=\"text-align: center;\">Hello 世界</p>"},
        {THtmlEditCommand::AlignRight, "", "<p id=\"t\" style=\"text-align: right;\">Hello 世界</p>"},
        {THtmlEditCommand::Link, "https://example.com/q?a=1&b=2",
         "<p id=\"t\"><a href=\"https://example.com/q?a=1&amp;b=2\">Hello 世界</a></p>"},
        {THtmlEditCommand::Link, "mailto:bob@example.com", "<p id=\"t\"><a href=\"mailto:bob@example.com\">Hello 世界</a></p>"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load("<p id=\"t\">Hello 世界</p>"));
        Select("t");
        EXPECT_TRUE(FEditor->ExecCommand(c.Command, c.Value));
        EXPECT_EQ(Body(), c.Expected) << "command " << static_cast<int>(c.Command) << " " << c.Value;
    }
}

TEST_F(HtmlEditorTest, RefusedValuesUndoRedoAndALine)
{
    ASSERT_TRUE(Load("<p id=\"t\">Hello</p>"));
    Select("t");
    EXPECT_FALSE(FEditor->ExecCommand(THtmlEditCommand::Link, "javascript:alert(1)"));
    EXPECT_FALSE(FEditor->ExecCommand(THtmlEditCommand::Link, "file:///etc/passwd"));
    EXPECT_FALSE(FEditor->ExecCommand(THtmlEditCommand::FontSize, "9"));
    EXPECT_EQ(Body(), "<p id=\"t\">Hello</p>");

    EXPECT_TRUE(FEditor->ExecCommand(THtmlEditCommand::Bold));
    EXPECT_EQ(Body(), "<p id=\"t\"><b>Hello</b></p>");
    FEditor->ExecCommand(THtmlEditCommand::Undo);
    EXPECT_EQ(Body(), "<p id=\"t\">Hello</p>");
    FEditor->ExecCommand(THtmlEditCommand::Redo);
    EXPECT_EQ(Body(), "<p id=\"t\"><b>Hello</b></p>");

    ASSERT_TRUE(Caret("t"));
    FEditor->ExecCommand(THtmlEditCommand::HorizontalLine);
    EXPECT_NE(Body().find("<hr>"), std::string::npos) << Body();
}

TEST_F(HtmlEditorTest, APictureFromDiskBecomesAnInlinePartOfTheSavedMail)
{
    const auto picture = FData / "产品照片.png";
    WriteWholeFile(picture, SolidPng(30, 20, 0xe07020));
    const auto notAPicture = FData / "notes.png";
    WriteWholeFile(notAPicture, "just text");
    ASSERT_TRUE(Load("<h2>新产品报价 New product quotation</h2><p id=\"t\">Our new valve 不锈钢阀门:</p>"
                     "<p id=\"pic\"></p><ul><li>型号 QM-100，单价 12.50 USD</li><li>交货期 30 天</li></ul>"));
    Select("t");
    FEditor->ExecCommand(THtmlEditCommand::Bold);
    FEditor->ExecCommand(THtmlEditCommand::ForeColor, "#2f6fb5");
    EXPECT_TRUE(Caret("pic"));
    EXPECT_FALSE(FEditor->InsertPicture(notAPicture));
    EXPECT_FALSE(FEditor->InsertPicture(FData / "missing.png"));
    ASSERT_TRUE(FEditor->InsertPicture(picture));
    Settle(300);
    EXPECT_EQ(RunOwnScript(WebView(), QStringLiteral("document.images[0].naturalWidth")).toInt(), 30)
        << "the picture shows in the editor";
    if (const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR"))
        FForm->SaveScreenshot(std::string(dir) + "/quillmar-html-editor.png");

    // The mail takes the page back: the picture goes inline under a cid.
    auto* mail = TRcMailComplex::CreateAndAutoRelease();
    mail->BuildEmptyWithRawNoVaild();
    mail->NoCidHtmlBody()->WriteHtmlContent(Html());
    mail->MakeCidHtmlBodyByNoCidHtmlBody({}, FEditor->InsertedFiles());
    ASSERT_EQ(mail->HtmlFileList()->Count(), 1);
    const std::string body = mail->HtmlBody()->ReadHtmlContent();
    EXPECT_NE(body.find("src=\"cid:qmc_"), std::string::npos) << body;
    EXPECT_EQ(body.find("file:"), std::string::npos) << body;
    mail->BuildRaw();
    const std::string raw = ReadWholeFile(mail->Raw()->FFileName);
    EXPECT_NE(raw.find("Content-Id: <qmc_"), std::string::npos) << raw.substr(0, 1500);
    EXPECT_NE(raw.find("image/png"), std::string::npos);
}

TEST_F(HtmlEditorTest, PastedOfficeHtmlIsFilteredAndPlainTextStaysText)
{
    TCountingHttpServer server;
    ASSERT_TRUE(Load("<p id=\"t\">x</p>"));
    ASSERT_TRUE(Caret("t"));

    // Office on Windows puts the clipboard form with its header beside the
    // plain HTML; the form is what is filtered and pasted.
    const std::string html =
        "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><body><!--StartFragment--><p>报价 FROM-CF-HTML</p>"
        "<!--[if gte vml 1]><v:shape><v:imagedata src=\"file:///C:/x/a.png\"/></v:shape><![endif]-->"
        "<![if !vml]><img width=12 height=12 src=\"" + server.Base() + "/a.jpg\"><![endif]>"
        "<!--EndFragment--></body></html>";
    const std::string header = "Version:0.9\r\nStartHTML:0000000105\r\nEndHTML:0000000000\r\n"
                               "StartFragment:0000000000\r\nEndFragment:0000000000\r\n";
    auto number = [](std::size_t aValue) {
        std::string text = std::to_string(aValue);
        return std::string(10 - text.size(), '0') + text;
    };
    std::string clipboard = header + html;
    clipboard.replace(clipboard.find("EndHTML:") + 8, 10, number(clipboard.size()));
    clipboard.replace(clipboard.find("StartFragment:") + 14, 10, number(clipboard.find("<!--StartFragment-->")));
    clipboard.replace(clipboard.find("EndFragment:") + 12, 10, number(clipboard.rfind("<!--EndFragment-->") + 18));
    auto* data = new QMimeData;
    data->setHtml(QStringLiteral("<p>FROM-TEXT-HTML</p>"));
    data->setData(QStringLiteral("application/x-qt-windows-mime;value=\"HTML Format\""),
                  QByteArray::fromStdString(clipboard));
    QApplication::clipboard()->setMimeData(data);
    // Ctrl+V on the page goes through the filter, not the engine's own paste.
    QTest::keyClick(WebView()->focusProxy(), Qt::Key_V, Qt::ControlModifier);
    Settle(300);
    std::string body = Body();
    EXPECT_NE(body.find("报价 FROM-CF-HTML"), std::string::npos) << body;
    EXPECT_EQ(body.find("FROM-TEXT-HTML"), std::string::npos) << body;
    EXPECT_NE(body.find("<img width=\"12\" height=\"12\" src=\"" + server.Base() + "/a.jpg\">"), std::string::npos)
        << body;
    EXPECT_EQ(body.find("v:shape"), std::string::npos) << body;
    EXPECT_EQ(body.find("StartFragment"), std::string::npos) << body;
    EXPECT_EQ(server.Paths(), std::vector<std::string>{}) << "a pasted remote picture is not fetched";

    auto* text = new QMimeData;
    text->setText("<b>not markup</b>");
    QApplication::clipboard()->setMimeData(text);
    FEditor->Paste();
    body = Body();
    EXPECT_NE(body.find("&lt;b&gt;not markup&lt;/b&gt;"), std::string::npos) << body;
}

TEST_F(HtmlEditorTest, InputMethodTextLandsAtTheMarkerAsUtf8)
{
    ASSERT_TRUE(Load("<p>称呼：</p><p id=\"marker\"></p><p>此致</p>"));
    ASSERT_TRUE(Caret("marker"));
    Type(QStringLiteral("尊敬的客户，您好"));
    const std::string body = Body();
    EXPECT_NE(body.find("<p id=\"marker\">尊敬的客户，您好</p>"), std::string::npos) << body;

    EXPECT_FALSE(Caret("no-such-marker"));
}

TEST_F(HtmlEditorTest, ThePagesOwnScriptsDoNothing)
{
    TCountingHttpServer server;
    ASSERT_TRUE(Load("<p id=\"t\">keep me</p>"
                     "<script>document.execCommand('selectAll');document.execCommand('delete');"
                     "document.title='script';new Image().src='" + server.Base() + "/s';</script>"
                     "<img src=\"x\" onerror=\"document.body.innerHTML='gone'\">"
                     "<img src=\"" + server.Base() + "/pixel.png\">"));
    Settle(500);
    EXPECT_NE(Body().find("<p id=\"t\">keep me</p>"), std::string::npos);
    EXPECT_EQ(RunOwnScript(WebView(), QStringLiteral("document.title")).toString().toStdString(), "t");
    EXPECT_EQ(server.Paths(), std::vector<std::string>{});
}

} // namespace
