#include "MailWebPage.h"

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEngineSettings>
#include <QWidget>

#include <utility>

namespace {

std::string CanonicalText(const std::filesystem::path& aPath)
{
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(aPath, ec);
    return (ec ? aPath.lexically_normal() : canonical).string();
}

} // namespace

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
        // Mail that names no font reads in the skin's own face (it has
        // both Chinese and Latin letters), not the engine's serif.
        settings->setFontFamily(QWebEngineSettings::StandardFont, QStringLiteral("WenQuanYi Micro Hei"));
        settings->setFontSize(QWebEngineSettings::DefaultFontSize, 14);
        // A clicked mailto (or tel, or anything else) then reaches the
        // page's navigation check, which hands mailto to our editor and
        // refuses the rest; refused outright, it would never be seen.
        settings->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
    }
    return profile;
}

void FillHost(QWidget* aHost, QWidget* aView)
{
    if (!aHost)
        return;
    QLayout* layout = aHost->layout();
    if (!layout) {
        layout = new QVBoxLayout(aHost);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(aView);
}

// ---- TMailRequestGuard ---------------------------------------------------------

void TMailRequestGuard::SetPage(const std::filesystem::path& aPage,
                                const std::vector<std::filesystem::path>& aAllowedFiles)
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

void TMailRequestGuard::AllowFile(const std::filesystem::path& aFile)
{
    std::string file = CanonicalText(aFile);
    std::lock_guard lock(FLock);
    FAllowedFiles.insert(std::move(file));
}

void TMailRequestGuard::SetShowPictures(bool aShow)
{
    std::lock_guard lock(FLock);
    FShowPictures = aShow;
    FBlockedRemote = 0;
}

int TMailRequestGuard::BlockedRemote() const
{
    std::lock_guard lock(FLock);
    return FBlockedRemote;
}

void TMailRequestGuard::interceptRequest(QWebEngineUrlRequestInfo& aInfo)
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
            remote = scheme == QLatin1String("ftp") || scheme == QLatin1String("ws") || scheme == QLatin1String("wss");
        }
        if (remote && ++FBlockedRemote == 1 && FOnFirstRemoteBlocked) {
            auto notify = FOnFirstRemoteBlocked;
            QMetaObject::invokeMethod(parent(), [notify] { notify(); }, Qt::QueuedConnection);
        }
    }
    if (!allow)
        aInfo.block(true);
}

// ---- TMailPage -----------------------------------------------------------------

TMailPage::TMailPage(QWebEngineProfile* aProfile, QObject* aParent, std::function<void(const QUrl&)> aOnLink,
                     bool aCatcher)
    : QWebEnginePage(aProfile, aParent), FOnLink(std::move(aOnLink)), FCatcher(aCatcher)
{
    QObject::connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& aInfo) {
        if (aInfo.status() == QWebEngineLoadingInfo::LoadStartedStatus || FLoading.isEmpty() || aInfo.url() != FLoading)
            return;
        FLoading.clear();
        if (FOnOwnLoadFinished)
            FOnOwnLoadFinished(aInfo.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !aInfo.isErrorPage());
    });
}

void TMailPage::LoadOwn(const QUrl& aUrl)
{
    FExpected = aUrl;
    FLoading = aUrl;
    load(aUrl);
}

bool TMailPage::acceptNavigationRequest(const QUrl& aUrl, NavigationType aType, bool aIsMainFrame)
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

QWebEnginePage* TMailPage::createWindow(WebWindowType)
{
    return new TMailPage(profile(), this, FOnLink, true);
}
