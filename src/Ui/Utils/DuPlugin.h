// Plugins: the named elements of a skin window (widgets, and menu items).
//
// A duPlugin is a handle: cheap to copy, never owning what it names (the
// window does). When its element has gone the handle reads as empty, and
// every operation on an empty handle does nothing and gives the empty value,
// so a screen holding a handle to a deleted row cannot crash.
//
// Screens see plugins only through this header: no toolkit type appears.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct TDuRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
};

class duPlugin {
public:
    duPlugin() = default;

    bool IsNull() const;
    explicit operator bool() const { return !IsNull(); }
    friend bool operator==(const duPlugin& a, const duPlugin& b);

    // "window", "button", "checkbox", "radio", "edit", "label", "combobox",
    // "listbox", "listview", "tab", "scroll", "progress", "layout",
    // "menu", "menuitem" or "control"; a skin element may name its own
    // kind with the property duKind.
    std::string GetType() const;
    std::string GetName() const;

    // Tree navigation among plugins; the toolkit's inner parts (a scroll
    // area's viewport, a combo box's pop-up) are looked through.
    duPlugin GetParent() const;
    duPlugin GetFirstChild() const;
    duPlugin GetLastChild() const;
    duPlugin GetNextSibling() const;
    duPlugin GetPreSibling() const;

    bool IsVisible() const;   // shown by its own flag (not by its parents')
    void SetVisible(bool aVisible) const;
    bool IsDisable() const;
    void SetDisable(bool aDisable) const;
    void Redraw() const;
    void SetFocus() const;
    // As if the user clicked it (buttons, check boxes, menu items).
    void Click() const;

    std::string GetText() const;
    void SetText(const std::string& aText) const;
    std::string GetTooltip() const;
    void SetTooltip(const std::string& aText) const;
    // The name of a style of the skin.
    std::string GetStyle() const;
    void SetStyle(const std::string& aStyle) const;
    // The name of an image of the skin's resource manager.
    std::string GetImage() const;
    void SetImage(const std::string& aImage) const;

    // Geometry relative to the parent element. A width or height set on an
    // element inside a layout is kept by the layout.
    int GetLeft() const;
    int GetTop() const;
    int GetWidth() const;
    int GetHeight() const;
    void SetPos(int aLeft, int aTop) const;
    void SetWidth(int aWidth) const;
    void SetHeight(int aHeight) const;
    void Resize(int aWidth, int aHeight) const;
    // The rectangle in the coordinates of the window's root element.
    TDuRect GetRect() const;
    // Lays the element and its children out again now.
    void Relayout() const;

    // Named attributes: the element's properties, built in or set by the
    // skin (Designer's dynamic properties). Setting a numeric one lays the
    // element out again.
    int GetAttributeInt(const std::string& aName, int aDefault = 0) const;
    void SetAttributeInt(const std::string& aName, int aValue) const;
    std::string GetAttribute(const std::string& aName) const;
    void SetAttribute(const std::string& aName, const std::string& aValue) const;

    bool IsChecked() const;
    void SetChecked(bool aChecked) const;

    // Entries of combo boxes and list boxes.
    void ClearItems() const;
    void AddItem(const std::string& aText) const;
    int GetItemCount() const;
    std::string GetItemText(int aIndex) const;
    int GetSelectedIndex() const;   // -1 when none
    void SetSelectedIndex(int aIndex) const;
    // The selected row of a list view (ListBoxEx_GetSelItem), and choosing it.
    duPlugin GetSelItem() const;
    void SetSelItem(const duPlugin& aRow) const;

    // A value the caller attaches (the list views' row data); not owned.
    intptr_t GetParam() const;
    void SetParam(intptr_t aParam) const;

private:
    struct TRef;
    std::shared_ptr<const TRef> FRef;
    friend struct TDuPluginAccess;
};

// The notification record: the code, two values, and the two elements a
// list view's selection change names (previous, new).
struct duNotify {
    int32_t uMsg = 0;
    int64_t wParam = 0;
    int64_t lParam = 0;
    duPlugin wPlugin;
    duPlugin lPlugin;
};

// Notification codes, as the toolkit's signals and key events are mapped
// when a window or a clone is loaded.
enum : int32_t {
    DUNM_EDIT_RETURN = 11,      // Enter in a one-line edit
    DUNM_PRESSED = 12,          // a button goes down; a click into an edit
    DUNM_CLICK = 13,            // buttons, menu-less clickable elements (duClickCode)
    DUNM_ITEM_CLICK = 14,       // a clickable element whose duClickCode is 14
    DUNM_CHECK = 15,            // a check box or checkable button toggled by the user; wParam = checked
    DUNM_COMBO_SELECT = 16,     // the user chose a combo-box entry; wParam = index
    DUNM_LISTBOX_ITEM = 18,     // a list-box entry clicked; wParam = row
    DUNM_LIST_SELCHANGE = 22,   // list view: wPlugin the previous row, lPlugin the new one
    DUNM_LIST_DBLCLICK = 23,    // list view: wPlugin the row
    DUNM_LIST_CONTEXT = 25,     // right click on a list box or list view; wPlugin the row, if any
    DUNM_RADIO = 27,            // a radio button clicked; wParam = checked
    DUNM_TAB = 30,              // a tab page: wParam 1 when it became current, 0 when it stopped being so
    DUNM_SCROLL = 37,           // a scroll container scrolled; wParam = vertical position
    DUNM_TEXT_CHANGED = 38,     // an edit's text changed
    DUNM_MENU_ITEM = 50,        // a menu item chosen
};

// Whether aName matches aPattern, where "*" stands for any run of
// characters (also none); everything else compares exactly.
bool MatchString(const std::string& aPattern, const std::string& aName);
