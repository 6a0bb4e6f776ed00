// What the HTML view's tests share: a window of the tests' skin holding a
// view, mails made from HTML, waiting for loads, and reading the page with
// scripts of our own world (the page's own scripts never run).
#pragma once

#include "Support/RunFolderTest.h"

#include "Business/AccountMail/MailComplex.h"
#include "Ui/Utils/DuForm.h"
#include "Ui/Utils/DuInternal.h"
#include "Ui/Utils/DuSkin.h"
#include "Ui/Utils/HtmlView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class THtmlHostForm : public TDuForm {
public:
    duPlugin Host;

protected:
    std::string GetDuWindowName() const override { return "html_wnd"; }
    void BindingDuPlugin() override { Host = GetDuPluginByName("html_host"); }
    void RegisterDuPlugin() override {}
};

// Runs the event loop until aDone or aMs have passed; whether aDone held.
inline bool WaitUntil(const std::function<bool()>& aDone, int aMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!aDone()) {
        if (timer.elapsed() > aMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

inline void Settle(int aMs)
{
    WaitUntil([] { return false; }, aMs);
}

// A script's result, run in our own world of aView's page.
inline QVariant RunOwnScript(QWebEngineView* aView, const QString& aScript)
{
    std::optional<QVariant> result;
    aView->page()->runJavaScript(aScript, QWebEngineScript::ApplicationWorld,
                                 [&](const QVariant& aValue) { result = aValue; });
    WaitUntil([&] { return result.has_value(); }, 10000);
    return result.value_or(QVariant());
}

// A run folder and a shown window of the tests' skin with a host element.
class HtmlHostFixture : public RunFolderTest {
protected:
    void SetUp() override
    {
        RunFolderTest::SetUp();
        TDuWindowManager::SetSkinFolder(QUILLMAR_TEST_SKIN);
        FForm = TDuForm::New<THtmlHostForm>();
        FForm->Show();
    }
    void TearDown() override
    {
        FForm.reset();
        RunFolderTest::TearDown();
    }
    QWebEngineView* WebView() const
    {
        return TDuPluginAccess::Widget(FForm->Host)->findChild<QWebEngineView*>();
    }

    std::unique_ptr<THtmlHostForm> FForm;
};

class HtmlViewFixture : public HtmlHostFixture {
protected:
    void SetUp() override
    {
        HtmlHostFixture::SetUp();
        FView = CreateHtmlView(FForm->Host);
        FView->SetOnLoadFinished([this](bool aOk) { FLoaded = aOk ? 1 : 0; });
    }
    void TearDown() override
    {
        FView.reset();
        HtmlHostFixture::TearDown();
    }

    IHtmlView& View() { return *FView; }

    // A mail of one HTML part and one inline picture, its Content-ID
    // "pic1@quillmar.test".
    TRcMailComplex* MailWithPicture(const std::string& aHtml, const std::string& aPng,
                                    const std::string& aHeaders = "From: Ann <ann@example.com>\r\n"
                                                                  "To: Bob <bob@example.com>\r\n"
                                                                  "Subject: hostile\r\n")
    {
        const std::string png = QByteArray::fromStdString(aPng).toBase64(QByteArray::Base64Encoding).toStdString();
        std::string lines;
        for (std::size_t i = 0; i < png.size(); i += 76)
            lines += png.substr(i, 76) + "\r\n";
        const std::string eml = aHeaders +
                                "MIME-Version: 1.0\r\n"
                                "Content-Type: multipart/related; boundary=\"b1\"\r\n\r\n"
                                "--b1\r\nContent-Type: text/html; charset=utf-8\r\n"
                                "Content-Transfer-Encoding: 8bit\r\n\r\n" +
                                aHtml +
                                "\r\n--b1\r\nContent-Type: image/png; name=\"red.png\"\r\nContent-ID: <pic1@quillmar.test>\r\n"
                                "Content-Transfer-Encoding: base64\r\n\r\n" +
                                lines + "--b1--\r\n";
        const auto file = FData / ("mail" + std::to_string(++FMailCount) + ".eml");
        WriteWholeFile(file, eml);
        auto* complex = TRcMailComplex::CreateAndAutoRelease();
        complex->Raw()->FFileName = file;
        complex->BuildOther();
        return complex;
    }

    bool ShowAndWait(TRcMailComplex* aMail)
    {
        FPageUrl = QUrl::fromLocalFile(QString::fromStdString(aMail->DisplayPage().string())).toString().toStdString();
        return Reload([&] { FView->ShowMail(aMail); });
    }
    // Runs aStart and waits for the page it loads.
    bool Reload(const std::function<void()>& aStart)
    {
        FLoaded = -1;
        aStart();
        return WaitUntil([this] { return FLoaded >= 0; }) && FLoaded == 1;
    }
    const std::string& PageUrl() const { return FPageUrl; }

    // The title, the address, and the natural width of every picture with an id.
    QVariantMap PageState() const
    {
        return RunOwnScript(WebView(), QStringLiteral(
                   "(function(){var r={title:document.title,href:location.href};"
                   "var i=document.images;for(var k=0;k<i.length;k++){if(i[k].id)r[i[k].id]=i[k].naturalWidth;}"
                   "return r;})()")).toMap();
    }
    // A real mouse click in the middle of the element with that id.
    void ClickElement(const char* aId)
    {
        const QVariantMap rect =
            RunOwnScript(WebView(), QStringLiteral("(function(){var e=document.getElementById('%1');"
                                                   "var r=e.getBoundingClientRect();"
                                                   "return {x:r.left+r.width/2,y:r.top+r.height/2};})()")
                                        .arg(QLatin1String(aId)))
                .toMap();
        const QPoint at(static_cast<int>(rect["x"].toDouble()), static_cast<int>(rect["y"].toDouble()));
        QWidget* target = WebView()->focusProxy() ? WebView()->focusProxy() : WebView();
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, at);
        Settle(150);
    }

    std::unique_ptr<IHtmlView> FView;
    int FLoaded = -1;
    int FMailCount = 0;
    std::string FPageUrl;
};
