// Inside the skin layer: the locked-down web page that shows and edits
// mail. One profile for all of them (off the record, no page scripts, no
// plugins), a request guard per page (the page's own local files only;
// remote pictures only when asked for, everything else remote refused and
// counted), and a page that allows no navigation but its own loads.
#pragma once

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>

#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

QWebEngineProfile* MailProfile();

// Puts aView into aHost (a container element of a skin window), filling it.
class QWidget;
void FillHost(QWidget* aHost, QWidget* aView);

// Decides every request a page makes. It may be asked on the engine's own
// threads, so what it reads is under a lock.
class TMailRequestGuard : public QWebEngineUrlRequestInterceptor {
public:
    explicit TMailRequestGuard(QObject* aParent) : QWebEngineUrlRequestInterceptor(aParent) {}

    // The page file and the other local files it may load.
    void SetPage(const std::filesystem::path& aPage, const std::vector<std::filesystem::path>& aAllowedFiles);
    // One more local file (a picture the user inserted).
    void AllowFile(const std::filesystem::path& aFile);
    void SetShowPictures(bool aShow);
    int BlockedRemote() const;
    // Called on the GUI thread when the first remote load of a page is refused.
    std::function<void()> FOnFirstRemoteBlocked;

    void interceptRequest(QWebEngineUrlRequestInfo& aInfo) override;

private:
    mutable std::mutex FLock;
    std::set<std::string> FAllowedFiles;
    bool FShowPictures = false;
    int FBlockedRemote = 0;
};

// Allows only the load its owner asked for; a clicked link leaves through
// the owner's link handling, every other navigation is refused.
class TMailPage : public QWebEnginePage {
public:
    // A catcher page stands in for the "window" a link with a target asks
    // for: it hands the first address it is asked to go to over to the link
    // handling and is gone again.
    TMailPage(QWebEngineProfile* aProfile, QObject* aParent, std::function<void(const QUrl&)> aOnLink,
              bool aCatcher = false);
    // Loads aUrl as the page's own load: the one main-frame navigation
    // allowed. Only the end of that load reaches FOnOwnLoadFinished (a refused
    // navigation of the page ends in a "load" of its own).
    void LoadOwn(const QUrl& aUrl);
    std::function<void(bool aOk)> FOnOwnLoadFinished;

protected:
    bool acceptNavigationRequest(const QUrl& aUrl, NavigationType aType, bool aIsMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType) override;

private:
    std::function<void(const QUrl&)> FOnLink;
    bool FCatcher = false;
    QUrl FExpected;
    QUrl FCurrent;
    QUrl FLoading;   // the own load under way, until it ends
};
