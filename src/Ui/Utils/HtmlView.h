// IHtmlView: a read-only view of a mail's HTML, placed into a plugin of a
// skin window.
//
// Mail comes from strangers, so the view is locked down: the page's own
// scripts and plugins never run, the profile keeps nothing on disk, nothing
// remote is loaded unless the user asks for the pictures of this mail, local
// files load only when they are the mail's own extracted files, and the page
// cannot navigate anywhere (no redirects, frames, forms or refreshes). A
// clicked http or https link goes to the desktop's browser, a mailto link to
// the callback (our own editor); any other link is refused.
//
// Screens see this header only: no toolkit type appears.
#pragma once

#include "DuPlugin.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TRcMailComplex;

class IHtmlView {
public:
    virtual ~IHtmlView() = default;

    // A stored mail: its display page, with its inline pictures; the complex
    // needs only its parts (its display page is made when missing).
    virtual void ShowMail(TRcMailComplex* aMailComplex) = 0;
    // A page file of our own making; local loads are limited to the page and
    // aAllowedFiles.
    virtual void ShowHtmlFile(const std::filesystem::path& aPage,
                              const std::vector<std::filesystem::path>& aAllowedFiles) = 0;
    // An empty page.
    virtual void Clear() = 0;
    // Stops loading the page.
    virtual void Stop() = 0;

    // The per-mail opt-in to remote pictures; a change shows the current
    // page again. Showing another page turns it off.
    virtual void SetShowPictures(bool aShow) = 0;
    virtual bool ShowPictures() const = 0;
    // Remote loads refused for the current page (a screen offers "show
    // pictures" only when there were any).
    virtual int BlockedRemoteCount() const = 0;

    // Called on the GUI thread when a page has loaded (false: it failed or
    // was stopped).
    virtual void SetOnLoadFinished(std::function<void(bool aOk)> aProc) = 0;
    // A clicked mailto link, with its whole address.
    virtual void SetOnMailto(std::function<void(const std::string& aUrl)> aProc) = 0;
    // Remote loads refused, once per page, when the first is refused.
    virtual void SetOnRemoteBlocked(std::function<void()> aProc) = 0;

    // The page as it stands, as a PDF file; aDone(true) once written.
    virtual void PrintToPdf(const std::filesystem::path& aPdfFile, std::function<void(bool aOk)> aDone) = 0;
    // The page as it stands, on the printer named in the print dialog the
    // view opens over its window (modal); false when cancelled or failed.
    virtual bool PrintWithDialog() = 0;
    // Qt's print preview of the page (modal).
    virtual void PrintPreview() = 0;
};

// A view filling aHost (a container element of a skin window); it lives
// until the returned object is destroyed or its window goes.
std::unique_ptr<IHtmlView> CreateHtmlView(const duPlugin& aHost);

// Before the application object is made: the engine's process-wide
// preparation (sharing of graphics contexts; no sandbox when run as root,
// where the engine refuses to start with one; no GPU without a display).
void PrepareHtmlEngine();
