// TDuWindow: the bridge between a form's window and its skin window
// definition. It finds plugins by name, forwards plugin operations, and
// dispatches notifications to handlers registered by plugin name (exact or
// with "*") and notification code.
#pragma once

#include "DuPlugin.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class TUiForm;

using TDirectUiNotifyEventProc = std::function<void(duPlugin aDuPlugin, const duNotify& aDuNotify)>;

struct TDirectUiNotifyKey {
    std::string PluginName;
    int32_t Msg = 0;
    friend bool operator==(const TDirectUiNotifyKey&, const TDirectUiNotifyKey&) = default;
};

// Equal keys: identical names (case matters) and equal codes. The hash is
// the resource hash over the code's 4 bytes, seeded with the same hash over
// the name's UTF-16 bytes.
struct TDirectUiNotifyKeyHash {
    static int32_t HashOf(const TDirectUiNotifyKey& aKey);
    std::size_t operator()(const TDirectUiNotifyKey& aKey) const { return static_cast<uint32_t>(HashOf(aKey)); }
};

struct TDirectUiNotifyListItem {
    std::string PluginName;   // a pattern
    int32_t Msg = 0;
    TDirectUiNotifyEventProc EventProc;
};

class TDuWindow {
public:
    TDuWindow();
    ~TDuWindow();
    TDuWindow(const TDuWindow&) = delete;
    TDuWindow& operator=(const TDuWindow&) = delete;

    // Loads the window definition aWinName into aForm's window (nothing is
    // loaded without a form) and keeps its root plugin.
    void Init(TUiForm* aForm, const std::string& aWinName);
    const std::string& WinName() const { return FWinName; }
    duPlugin DuWindow() const;
    // Left, top, width and height of the root element as the window
    // definition gives them (-1 for left or top asks for centring).
    TDuRect DefinedBounds() const;

    // Where the window's notifications go; by default DirectUiNotifyProc.
    void SetNotifySink(std::function<void(duPlugin, const duNotify&)> aSink);
    // Sends a notification the way the toolkit's events are sent (to the
    // form first): for parts of the skin layer that make their own, such
    // as a list view moved by the keyboard.
    void Notify(const duPlugin& aDuPlugin, const duNotify& aDuNotify) { Deliver(aDuPlugin, aDuNotify); }

    // The plugin of that name, or an empty handle.
    duPlugin FindDuPlugin(const std::string& aPluginName) const;
    // The plugin of that name; "不能获取插件（%s）" when there is none.
    duPlugin GetDuPluginByName(const std::string& aPluginName) const;

    // Both clear the dispatch cache, so a key first seen without a handler
    // reaches a handler registered later. Registering the same exact name and
    // code twice fails.
    void RegisterDuPluginNotifyEvent(const std::string& aPluginName, int32_t aMessage, TDirectUiNotifyEventProc aEventProc);
    void RegisterDuPluginNotifyEventForMetch(const std::string& aPluginName, int32_t aMessage,
                                             TDirectUiNotifyEventProc aEventProc);

    // Dispatch: the one-entry cache, then the exact registrations, then the
    // patterns in registration order (a pattern hit is called at once and
    // not cached); a key without handler is cached with an empty one.
    void DirectUiNotifyProc(const duPlugin& aDuPlugin, const duNotify& aDuNotify);

    // A copy of aDuPlugin (names and children's names extended by
    // aNameSuffix) under aParent, right after aPrev (first when aPrev is
    // empty); "克隆插件失败" when it cannot be made.
    duPlugin DuPluginClone(const duPlugin& aDuPlugin, const duPlugin& aParent, const duPlugin& aPrev,
                           const std::string& aNameSuffix);
    // Detaches the plugin, renames it and frees it once control is back in
    // the event loop, so a handler may delete the plugin it was called for.
    bool DuPluginDelete(const duPlugin& aDuPlugin);
    bool DuPluginIsVisible(const duPlugin& aDuPlugin) const { return aDuPlugin.IsVisible(); }
    void DuPluginSetVisible(const duPlugin& aDuPlugin, bool aVisible) { aDuPlugin.SetVisible(aVisible); }
    void DuPluginSetEnable(const duPlugin& aDuPlugin, bool aEnable) { aDuPlugin.SetDisable(!aEnable); }
    void DuPluginSetFocus(const duPlugin& aDuPlugin) { aDuPlugin.SetFocus(); }
    duPlugin DuPluginOfFocus() const;
    void DuPluginRedraw(const duPlugin& aDuPlugin) { aDuPlugin.Redraw(); }
    static bool DuPluginNameMatch(const std::string& aPattern, const std::string& aName) { return MatchString(aPattern, aName); }
    void Invalidate();

    // Opens a popup menu of the skin at a screen position; its items are
    // plugins of this window and notify 50. The menu plugin, empty when the
    // skin has no such menu.
    duPlugin TrackPopupMenu(const std::string& aMenuName, int aScreenX, int aScreenY);
    duPlugin TrackPopupMenuAtCursor(const std::string& aMenuName, int aDx = 0, int aDy = 0);
    // The skin's popup menu of that name, made for this window but not
    // shown (the tray icon's menu); empty when the skin has none.
    duPlugin PopupMenu(const std::string& aMenuName);

    // Images and styles made at run time.
    std::string LoadExternalImage(const std::string& aFileName, bool aOriginalFile);
    std::string CreateStyleForExternalImage(const std::string& aFileName, bool aOriginalFile);
    // The desktop's small icon for the file's type (by its extension; the
    // file is not touched), or a generic file icon when the desktop has no
    // icon theme; the new image's name, empty for an empty file name.
    std::string LoadFileIcon(const std::string& aFileName);

    // Exactly registered names that are neither plugins of this window nor
    // items of the skin's popup menus: handlers that can never be called.
    std::vector<std::string> UnknownRegisteredNames() const;

private:
    struct TImpl;
    void Deliver(const duPlugin& aDuPlugin, const duNotify& aDuNotify);

    std::unordered_map<TDirectUiNotifyKey, TDirectUiNotifyEventProc, TDirectUiNotifyKeyHash>
        FDirectUiNotifyEventDictionary;
    struct TLastDirectUiNotifyEvent {
        TDirectUiNotifyKey Key;
        TDirectUiNotifyEventProc EventProc;
    };
    std::optional<TLastDirectUiNotifyEvent> FLastDirectUiNotifyEvent;
    std::vector<TDirectUiNotifyListItem> FDirectUiNotifyEventList;
    std::function<void(duPlugin, const duNotify&)> FNotifySink;
    std::string FWinName;
    std::unique_ptr<TImpl> d;
};
