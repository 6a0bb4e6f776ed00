// Forms: TUiForm, the base of every window of the program, with its
// delayed-runable queue; TDuForm, a form drawn from a skin window definition.
//
// A screen derives from TDuForm, names its window definition, looks its
// plugins up in BindingDuPlugin and registers its handlers in
// RegisterDuPlugin; TDuForm::New builds it in that order.
#pragma once

#include "DuPlugin.h"
#include "DuWindow.h"

#include "Runtime/DateTime.h"
#include "Runtime/DelayRunableQueue.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

// Modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

struct TUiFormPrivate;

class TUiForm {
public:
    TUiForm();
    // Runs the delayed runables still queued once more, then drops the rest.
    virtual ~TUiForm();
    TUiForm(const TUiForm&) = delete;
    TUiForm& operator=(const TUiForm&) = delete;

    // Any thread, while the form lives: the runable runs on the GUI thread,
    // in the order appended.
    void AppendDelayRunable(IRunable* aRunable);
    void AppendDelayBlock(std::function<void()> aBlock);

    void Show();
    void Hide();
    // Closes the window as its own close button does: a modal loop ends with
    // CloseResult().
    void Close();
    bool IsVisible() const;
    // Shows the window modally; the result the window ended with.
    int ShowModal();
    // Shows the window as a pop-up at that screen position: it closes itself
    // when the user clicks outside it, and runs no loop of its own.
    void ShowAsPopup(int aLeft, int aTop);
    // Minimises the window, or brings it back and to the front.
    void Minimize();
    void BringToFront();
    // What the window's own close button (or the window system) does:
    // by default the window closes; a handler returning false keeps it
    // open (the main window hides to the tray instead).
    void SetOnCloseRequest(std::function<bool()> aProc);
    // Ends a modal loop with aResult (and hides the window).
    void SetModalResult(int aResult);

    void SetCaption(const std::string& aCaption);
    std::string Caption() const;
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetBounds(int aLeft, int aTop, int aWidth, int aHeight);
    void Invalidate();
    // The window's current picture as a PNG file.
    bool SaveScreenshot(const std::filesystem::path& aPngFile) const;

    // The form's component name (a fallback window definition name).
    const std::string& FormName() const { return FFormName; }
    void SetFormName(std::string aName) { FFormName = std::move(aName); }

protected:
    // GUI thread: runs what is queued; the queue's wake-up calls it.
    void RunDelayRunables() { FDelayRunableList->RunDelayRunables(); }
    // The modal result of a close by the window's own means (its close
    // button, Escape, the window system).
    virtual int CloseResult() const { return mrCancel; }

private:
    friend struct TUiFormPrivate;
    friend struct TUiFormAccess;
    std::string FFormName;
    std::unique_ptr<TUiFormPrivate> d;
    std::unique_ptr<TDelayRunableQueue> FDelayRunableList;
};

class TDuForm : public TUiForm {
public:
    TDuForm();
    ~TDuForm() override;

    // Builds the window: the definition (GetDuWindowName, else the form's
    // name, else its class name), BindingDuPlugin, RegisterDuPlugin, then
    // the bounds of the root plugin (a left or top of -1 centres the window
    // on the screen in that direction).
    void Create();
    template <class T, class... A>
    static std::unique_ptr<T> New(A&&... aArgs)
    {
        auto form = std::make_unique<T>(std::forward<A>(aArgs)...);
        form->Create();
        return form;
    }

    TDuWindow& DuWindow() { return *FDuWindow; }
    const TDuWindow& DuWindow() const { return *FDuWindow; }
    // Notifications of the window arrive here.
    virtual void DirectUiNotifyProc(duPlugin aDuPlugin, const duNotify& aDuNotify);

    duPlugin GetDuPluginByName(const std::string& aPluginName) const { return FDuWindow->GetDuPluginByName(aPluginName); }
    void RegisterDuPluginNotifyEvent(const std::string& aPluginName, int32_t aMessage, TDirectUiNotifyEventProc aProc)
    {
        FDuWindow->RegisterDuPluginNotifyEvent(aPluginName, aMessage, std::move(aProc));
    }
    void RegisterDuPluginNotifyEventForMetch(const std::string& aPluginName, int32_t aMessage,
                                             TDirectUiNotifyEventProc aProc)
    {
        FDuWindow->RegisterDuPluginNotifyEventForMetch(aPluginName, aMessage, std::move(aProc));
    }
    duPlugin DuPluginClone(const duPlugin& aDuPlugin, const duPlugin& aParent, const duPlugin& aPrev,
                           const std::string& aNameSuffix)
    {
        return FDuWindow->DuPluginClone(aDuPlugin, aParent, aPrev, aNameSuffix);
    }
    bool DuPluginDelete(const duPlugin& aDuPlugin) { return FDuWindow->DuPluginDelete(aDuPlugin); }
    bool DuPluginIsVisible(const duPlugin& aDuPlugin) const { return aDuPlugin.IsVisible(); }
    void DuPluginSetVisible(const duPlugin& aDuPlugin, bool aVisible) { aDuPlugin.SetVisible(aVisible); }
    void DuPluginSetEnable(const duPlugin& aDuPlugin, bool aEnable) { aDuPlugin.SetDisable(!aEnable); }
    void DuPluginSetFocus(const duPlugin& aDuPlugin) { aDuPlugin.SetFocus(); }
    duPlugin DuPluginOfFocus() const { return FDuWindow->DuPluginOfFocus(); }
    void DuPluginRedraw(const duPlugin& aDuPlugin) { aDuPlugin.Redraw(); }
    static bool DuPluginNameMatch(const std::string& aPattern, const std::string& aName) { return MatchString(aPattern, aName); }
    duPlugin TrackPopupMenuAtCursor(const std::string& aMenuName, int aDx = 0, int aDy = 0)
    {
        return FDuWindow->TrackPopupMenuAtCursor(aMenuName, aDx, aDy);
    }
    std::string LoadExternalImage(const std::string& aFileName, bool aOriginalFile)
    {
        return FDuWindow->LoadExternalImage(aFileName, aOriginalFile);
    }
    std::string CreateStyleForExternalImage(const std::string& aFileName, bool aOriginalFile)
    {
        return FDuWindow->CreateStyleForExternalImage(aFileName, aOriginalFile);
    }
    std::string LoadFileIcon(const std::string& aFileName) { return FDuWindow->LoadFileIcon(aFileName); }

    static int GetTextWidthForStyle(const std::string& aStyle, const std::string& aStr);
    // The display text of a date, relative to now (see the free function).
    static std::string GetgoodStringOfDate(TDateTime aDateTime);

protected:
    virtual std::string GetDuWindowName() const { return {}; }
    // Each screen looks up its plugins here and registers its handlers in
    // RegisterDuPlugin; a screen that does not is a programming error.
    virtual void BindingDuPlugin();
    virtual void RegisterDuPlugin();

private:
    std::unique_ptr<TDuWindow> FDuWindow;
};

// "" for a zero date; in aNow's year "今天 h:m" for aNow's day, "昨天 h:m" for
// the day before in the same month, else "M月D日"; in another year "Y年M月D日".
// No leading zeros anywhere.
std::string GetgoodStringOfDate(TDateTime aDateTime, TDateTime aNow);
