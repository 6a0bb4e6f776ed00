#include "HtmlView.h"

#include "DuInternal.h"
#include "ExternalOpener.h"
#include "MailWebPage.h"

#include "Business/AccountMail/MailComplex.h"
#include "Runtime/Log.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMenu>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <cstdlib>

#include <unistd.h>

namespace {

class THtmlViewImpl final : public IHtmlView {
public:
    explicit THtmlViewImpl(QWidget* aHost)
    {
        FView = new QWebEngineView(aHost);
        // Copying, and nothing else: the engine's own menu would offer to
        // save the page, view its source, or open links in new windows.
        FView->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(FView, &QWidget::customContextMenuRequested, FView, [this](const QPoint& aAt) {
            QMenu menu(FView);
            menu.addAction(FPage->action(QWebEnginePage::Copy));
            if (const QWebEngineContextMenuRequest* request = FView->lastContextMenuRequest();
                request && !request->linkUrl().isEmpty())
                menu.addAction(FPage->action(QWebEnginePage::CopyLinkToClipboard));
            menu.addAction(FPage->action(QWebEnginePage::SelectAll));
            menu.exec(FView->mapToGlobal(aAt));
        });
        FView->setAcceptDrops(false);
        FGuard = new TMailRequestGuard(FView);
        FGuard->FOnFirstRemoteBlocked = [this] {
            if (FOnRemoteBlocked)
                FOnRemoteBlocked();
        };
        FPage = new TMailPage(MailProfile(), FView, [this](const QUrl& aUrl) { OnLink(aUrl); });
        FPage->setUrlRequestInterceptor(FGuard);
        FView->setPage(FPage);
        FPage->FOnOwnLoadFinished = [this](bool aOk) {
            if (FOnLoadFinished)
                FOnLoadFinished(aOk);
        };
        FillHost(aHost, FView);
    }
    ~THtmlViewImpl() override
    {
        // The page goes with the view; a view whose window went first is gone already.
        delete FView.data();
    }

    // Every call does nothing once the window holding the view has gone.
    void ShowMail(TRcMailComplex* aMailComplex) override
    {
        if (!FView)
            return;
        if (!aMailComplex) {
            Clear();
            return;
        }
        const std::filesystem::path page = aMailComplex->DisplayPage();
        std::vector<std::filesystem::path> pictures;
        for (const TRcMailComplexHtmlFile* file : *aMailComplex->HtmlFileList())
            pictures.push_back(file->FFileName);
        ShowHtmlFile(page, pictures);
    }

    void ShowHtmlFile(const std::filesystem::path& aPage, const std::vector<std::filesystem::path>& aAllowedFiles) override
    {
        FPagePath = aPage;
        FAllowedFiles = aAllowedFiles;
        SetRemote(false);
        Load();
    }

    void Clear() override
    {
        FPagePath.clear();
        FAllowedFiles.clear();
        SetRemote(false);
        Load();
    }

    void Stop() override
    {
        if (FView)
            FPage->triggerAction(QWebEnginePage::Stop);
    }

    void SetShowPictures(bool aShow) override
    {
        if (!FView || aShow == FShowPictures)
            return;
        SetRemote(aShow);
        Load();
    }
    bool ShowPictures() const override { return FShowPictures; }
    int BlockedRemoteCount() const override { return FView ? FGuard->BlockedRemote() : 0; }

    void SetOnLoadFinished(std::function<void(bool)> aProc) override { FOnLoadFinished = std::move(aProc); }
    void SetOnMailto(std::function<void(const std::string&)> aProc) override { FOnMailto = std::move(aProc); }
    void SetOnRemoteBlocked(std::function<void()> aProc) override { FOnRemoteBlocked = std::move(aProc); }

    void PrintToPdf(const std::filesystem::path& aPdfFile, std::function<void(bool)> aDone) override
    {
        if (!FView) {
            if (aDone)
                aDone(false);
            return;
        }
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(FPage, &QWebEnginePage::pdfPrintingFinished, FView,
                                       [connection, aDone](const QString&, bool aOk) {
                                           QObject::disconnect(*connection);
                                           if (aDone)
                                               aDone(aOk);
                                       });
        FPage->printToPdf(QString::fromStdString(aPdfFile.string()),
                          QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                      QPageLayout::Millimeter));
    }

    bool PrintWithDialog() override
    {
        if (!FView)
            return false;
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageOrientation(QPageLayout::Portrait);
        QPrintDialog dialog(&printer, FView->window());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        return PrintOn(&printer);
    }

    void PrintPreview() override
    {
        if (!FView)
            return;
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageOrientation(QPageLayout::Portrait);
        QPrintPreviewDialog preview(&printer, FView->window());
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, FView,
                         [this](QPrinter* aPrinter) { PrintOn(aPrinter); });
        preview.exec();
    }

private:
    // The engine prints asynchronously; the preview wants the pages painted
    // before paintRequested returns, so this waits in a local loop that
    // only the view's own signal ends.
    bool PrintOn(QPrinter* aPrinter)
    {
        QEventLoop loop;
        bool result = false;
        auto connection = QObject::connect(FView, &QWebEngineView::printFinished, &loop, [&](bool aOk) {
            result = aOk;
            loop.quit();
        });
        FView->print(aPrinter);
        loop.exec();
        QObject::disconnect(connection);
        return result;
    }

    void SetRemote(bool aShowPictures)
    {
        FShowPictures = aShowPictures;
        if (FView)
            FGuard->SetShowPictures(aShowPictures);
    }

    void Load()
    {
        if (!FView)
            return;
        FGuard->SetPage(FPagePath, FAllowedFiles);
        const QUrl url = FPagePath.empty() ? QUrl(QStringLiteral("about:blank"))
                                           : QUrl::fromLocalFile(QString::fromStdString(FPagePath.string()));
        FPage->LoadOwn(url);
    }

    void OnLink(const QUrl& aUrl)
    {
        const std::string text = aUrl.toString(QUrl::FullyEncoded).toStdString();
        if (aUrl.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0) {
            if (FOnMailto)
                FOnMailto(text);
            return;
        }
        if (!IsExternalUrlAllowed(text)) {
            TLog::O(lolWorn, "拒绝打开邮件中的链接（只打开 http、https 和 mailto）");
            return;
        }
        OpenExternalUrl(text);
    }

    QPointer<QWebEngineView> FView;
    TMailRequestGuard* FGuard = nullptr;
    TMailPage* FPage = nullptr;
    std::filesystem::path FPagePath;
    std::vector<std::filesystem::path> FAllowedFiles;
    bool FShowPictures = false;
    std::function<void(bool)> FOnLoadFinished;
    std::function<void(const std::string&)> FOnMailto;
    std::function<void()> FOnRemoteBlocked;
};

} // namespace

std::unique_ptr<IHtmlView> CreateHtmlView(const duPlugin& aHost)
{
    return std::make_unique<THtmlViewImpl>(TDuPluginAccess::Widget(aHost));
}

void PrepareHtmlEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The engine will not start as root inside its sandbox.
    if (geteuid() == 0 && !std::getenv("QTWEBENGINE_DISABLE_SANDBOX"))
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::string(platform) == "offscreen") {
        std::string flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS") ? std::getenv("QTWEBENGINE_CHROMIUM_FLAGS") : "";
        if (flags.find("--disable-gpu") == std::string::npos)
            flags += flags.empty() ? "--disable-gpu" : " --disable-gpu";
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    }
}
