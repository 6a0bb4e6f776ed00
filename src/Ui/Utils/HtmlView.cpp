#include "HtmlView.h"

#include "DuInternal.h"
#include "ExternalOpener.h"

#include "Business/AccountMail/MailComplex.h"
#include "Runtime/Log.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMenu>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QVBoxLayout>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <cstdlib>
#include <mutex>
#include <set>
#include <utility>

#include <unistd.h>

namespace {

std::string CanonicalText(const std::filesystem::path& aPath)
{
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(aPath, ec);
    return (ec ? aPath.lexically_normal() : canonical).string();
}

// One profile for every mail view: off the record (nothing written to
// disk), no scripts, no plugins, nothing that reaches out on its own.
QWebEngineProfile* MailProfile()
{
    static QPointer<QWebEngineProfile> profile;
    if (!profile) {
        profile = new QWebEngineProfile(QCoreApplication::instance());
        profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        profile->setSpellCheckEnabled(false);
        QWebEngineSettings* settings = profile->settings();
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
        settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
        // A mail's page is a local file: remote loads are decided by the
        // request guard (so it can count what it refuses), not refused
        // wholesale by the engine.
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
        settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
        settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        settings->setAttribute(QWebEngineSettings::WebGLEnabled, false);
        settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
        settings->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
        settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
        settings->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
        settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
        settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
        settings->setAttribute(QWebEngineSettings::PrintElementBackgrounds, true);
        settings->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
        settings->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
    }
    return profile;
}

// Decides every request a page makes. It may be asked on the engine's own
// threads, so what it reads is under a lock.
class TMailRequestGuard : public QWebEngineUrlRequestInterceptor {
public:
    explicit TMailRequestGuard(QObject* aParent) : QWebEngineUrlRequestInterceptor(aParent) {}

    void SetPage(const std::filesystem::path& aPage, const std::vector<std::filesystem::path>& aAllowedFiles)
    {
        std::set<std::string> allowed;
        if (!aPage.empty())
            allowed.insert(CanonicalText(aPage));
        for (const auto& file : aAllowedFiles)
            allowed.insert(CanonicalText(file));
        std::lock_guard lock(FLock);
        FAllowedFiles = std::move(allowed);
        FBlockedRemote = 0;
    }
    void SetShowPictures(bool aShow)
    {
        std::lock_guard lock(FLock);
        FShowPictures = aShow;
        FBlockedRemote = 0;
    }
    int BlockedRemote() const
    {
        std::lock_guard lock(FLock);
        return FBlockedRemote;
    }
    // Called on the GUI thread when the first remote load of a page is refused.
    std::function<void()> FOnFirstRemoteBlocked;

    void interceptRequest(QWebEngineUrlRequestInfo& aInfo) override
    {
        const QUrl url = aInfo.requestUrl();
        const QString scheme = url.scheme().toLower();
        bool allow = false;
        bool remote = false;
        {
            std::lock_guard lock(FLock);
            if (scheme == QLatin1String("file")) {
                allow = url.isLocalFile() && url.host().isEmpty() &&
                        FAllowedFiles.count(CanonicalText(url.toLocalFile().toStdString())) > 0;
            } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
                allow = FShowPictures && aInfo.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeImage;
                remote = !allow;
            } else if (scheme == QLatin1String("data") || scheme == QLatin1String("about")) {
                // Nothing leaves the machine.
                allow = aInfo.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeSubFrame;
            } else {
                // Other ways out are remote too; anything else (an unknown
                // "cid:" left in the page) is simply nothing of ours.
                remote = scheme == QLatin1String("ftp") || scheme == QLatin1String("ws") ||
                         scheme == QLatin1String("wss");
            }
            if (remote && ++FBlockedRemote == 1 && FOnFirstRemoteBlocked) {
                auto notify = FOnFirstRemoteBlocked;
                QMetaObject::invokeMethod(parent(), [notify] { notify(); }, Qt::QueuedConnection);
            }
        }
        if (!allow)
            aInfo.block(true);
    }

private:
    mutable std::mutex FLock;
    std::set<std::string> FAllowedFiles;
    bool FShowPictures = false;
    int FBlockedRemote = 0;
};

// Allows only the load the view asked for; a clicked link leaves through
// the view's link handling, every other navigation is refused.
class TMailPage : public QWebEnginePage {
public:
    // A catcher page stands in for the "window" a link with a target asks
    // for: it hands the first address it is asked to go to over to the link
    // handling and is gone again.
    TMailPage(QWebEngineProfile* aProfile, QObject* aParent, std::function<void(const QUrl&)> aOnLink,
              bool aCatcher = false)
        : QWebEnginePage(aProfile, aParent), FOnLink(std::move(aOnLink)), FCatcher(aCatcher)
    {
    }
    // The one main-frame load the next navigation may be.
    void ExpectLoad(const QUrl& aUrl) { FExpected = aUrl; }

protected:
    bool acceptNavigationRequest(const QUrl& aUrl, NavigationType aType, bool aIsMainFrame) override
    {
        if (FCatcher) {
            if (auto onLink = std::exchange(FOnLink, nullptr)) {
                onLink(aUrl);
                deleteLater();
            }
            return false;
        }
        if (aIsMainFrame && !FExpected.isEmpty() && aUrl == FExpected && aType != NavigationTypeLinkClicked) {
            FCurrent = FExpected;
            FExpected.clear();
            return true;
        }
        // A jump to an anchor of the page itself.
        if (aIsMainFrame && aType == NavigationTypeLinkClicked && aUrl.hasFragment() && !FCurrent.isEmpty() &&
            aUrl.adjusted(QUrl::RemoveFragment) == FCurrent)
            return true;
        if (aIsMainFrame && aType == NavigationTypeLinkClicked && FOnLink)
            FOnLink(aUrl);
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override
    {
        return new TMailPage(profile(), this, FOnLink, true);
    }

private:
    std::function<void(const QUrl&)> FOnLink;
    bool FCatcher = false;
    QUrl FExpected;
    QUrl FCurrent;
};

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
        // Only the end of the load the view started counts: a refused
        // navigation of the page ends in a "load" of its own.
        QObject::connect(FPage, &QWebEnginePage::loadingChanged, FView, [this](const QWebEngineLoadingInfo& aInfo) {
            if (aInfo.status() == QWebEngineLoadingInfo::LoadStartedStatus || aInfo.url() != FLoading)
                return;
            FLoading.clear();
            if (FOnLoadFinished)
                FOnLoadFinished(aInfo.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !aInfo.isErrorPage());
        });
        if (aHost) {
            QLayout* layout = aHost->layout();
            if (!layout) {
                layout = new QVBoxLayout(aHost);
                layout->setContentsMargins(0, 0, 0, 0);
                layout->setSpacing(0);
            }
            layout->addWidget(FView);
        }
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
        FLoading = url;
        FPage->ExpectLoad(url);
        FPage->load(url);
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
    QUrl FLoading;   // the page being loaded, until its load ends
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
