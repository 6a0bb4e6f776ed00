// The notification-area (tray) icon of a form: an image of the skin, a
// tip, one of the skin's popup menus (its items notify the form like any
// menu item), and a callback for a double click.
//
// Screens see this header only: no toolkit type appears.
#pragma once

#include <functional>
#include <memory>
#include <string>

class TDuForm;

class TDuTrayIcon {
public:
    // Whether the desktop shows tray icons at all (else a window that hides
    // itself to the tray could never be found again).
    static bool IsAvailable();

    explicit TDuTrayIcon(TDuForm& aForm);
    ~TDuTrayIcon();
    TDuTrayIcon(const TDuTrayIcon&) = delete;
    TDuTrayIcon& operator=(const TDuTrayIcon&) = delete;

    void SetImage(const std::string& aImageName);
    void SetTip(const std::string& aTip);
    void SetMenu(const std::string& aMenuName);
    void SetOnDoubleClick(std::function<void()> aProc);
    void Show();
    void Hide();
    bool IsVisible() const;
    // A balloon message beside the icon.
    void ShowMessage(const std::string& aTitle, const std::string& aText);

private:
    struct TImpl;
    std::unique_ptr<TImpl> d;
};
