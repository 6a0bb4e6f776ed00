// List views: lists on screen built from template plugins of the skin (a
// hidden group header and a hidden row inside a list element of kind
// "listview"), filled by an adapter that reports counts and fills each
// clone's data object.
//
// Only the rows that fit on screen, and a few more above and below, are
// cloned; scrolling fills the same clones again with other rows. Cloning
// every row of a folder of 100,000 mails would take half a minute and
// gigabytes. So a clone stands for whatever row it shows now: the
// selection is kept by group and row, and a row's data object is only good
// until the list scrolls (ask the list view again).
//
// Screens see this header only: no toolkit type appears.
#pragma once

#include "DuPlugin.h"

#include "Runtime/Observable.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TDuWindow;
class TRcDuListView;

// The data object of one clone (or of a group, for as long as the list is
// loaded). Screens derive from it to keep what they need per row.
class TRcDuListViewData : public TRcObject {
public:
    static constexpr uint32_t kMagicFlag = 0x552389AA;

    uint32_t FMagicFlag = kMagicFlag;
    TRcDuListView* FListView = nullptr;
    TDuWindow* FDuWindow = nullptr;
    std::string FSuffix;          // the clone's name suffix
    duPlugin FPlugin;             // the clone showing this data, if any
    TRcRef<TRcDuListViewData> FGroupData;   // a row's group (none without groups)
    int FGroup = -1;
    int FRow = -1;                // -1 for a group header

    // The child of this clone made from the template child aChildPluginName.
    duPlugin ChildPlugin(const std::string& aChildPluginName) const;
    bool IsValid() const { return FMagicFlag == kMagicFlag; }

protected:
    ~TRcDuListViewData() override { FMagicFlag = 0; }
};

class IDuListViewListener : public virtual IRcInterface {
public:
    virtual void ReLoad() = 0;
    virtual void OnItemAdd(int aRow) = 0;
    virtual void OnItemRemove(int aRow) = 0;
};

class TRcListViewListenerObservable : public TRcObservable<IDuListViewListener> {
public:
    using TRcObservable<IDuListViewListener>::ForEachObserver;
};

class TRcListViewListenerManager : public TRcObject {
public:
    void RegeditListener(IDuListViewListener* aListView) { Listeners()->RegisterObserver(aListView); }
    void UnRegeditListener(IDuListViewListener* aListView) { Listeners()->UnRegisterObserver(aListView); }
    void NotifyChanged()
    {
        Listeners()->ForEachObserver([](IDuListViewListener& aListener) { aListener.ReLoad(); });
    }
    void NotifyItemAdd(int aRow)
    {
        Listeners()->ForEachObserver([aRow](IDuListViewListener& aListener) { aListener.OnItemAdd(aRow); });
    }
    void NotifyItemRemove(int aRow)
    {
        Listeners()->ForEachObserver([aRow](IDuListViewListener& aListener) { aListener.OnItemRemove(aRow); });
    }

private:
    TRcListViewListenerObservable* Listeners()
    {
        if (!FBeListener)
            FBeListener = MakeRc<TRcListViewListenerObservable>();
        return FBeListener.Get();
    }
    TRcRef<TRcListViewListenerObservable> FBeListener;
};

// What a list shows. Every operation has a default: a list without groups
// and without rows.
class TRcDuListViewAdapter : public TRcObject {
public:
    TRcListViewListenerManager* ListenerManager();
    // Tells the list views showing this adapter to load again.
    void NotifyChanged() { ListenerManager()->NotifyChanged(); }

    virtual std::string GroupTemplateName() const { return {}; }
    virtual TRcRef<TRcDuListViewData> CreateGroupData() { return MakeRc<TRcDuListViewData>(); }
    virtual std::string RowTemplateName() const { return {}; }
    virtual TRcRef<TRcDuListViewData> CreateRowData() { return MakeRc<TRcDuListViewData>(); }

    virtual int GroupCount() { return 0; }
    virtual void InitGroup(TRcDuListViewData*) {}
    virtual void UpdateGroup(int /*aGroup*/, TRcDuListViewData*) {}
    virtual int RowCount(int /*aGroup*/, TRcDuListViewData* /*aGroupData*/) { return 0; }
    // Once per clone, when it is made.
    virtual void InitRow(TRcDuListViewData*) {}
    // Whenever a clone is to show another row.
    virtual void UpdateRow(int /*aGroup*/, TRcDuListViewData* /*aGroupData*/, int /*aRow*/, TRcDuListViewData*) {}
    virtual void RowChanged(int /*aOldRow*/, TRcDuListViewData*, int /*aNewRow*/, TRcDuListViewData*) {}
    virtual void GroupChanged(int /*aOldRow*/, TRcDuListViewData*, int /*aNewRow*/, TRcDuListViewData*) {}
    virtual void RowDoubleClicked(int /*aRow*/, TRcDuListViewData*) {}
    virtual void BeforeloadData() {}
    virtual void AfterloadData() {}

private:
    TRcRef<TRcListViewListenerManager> FListenerManager;
};

class TRcDuListView : public TRcObject, public IDuListViewListener {
public:
    // Clones kept beyond the visible rows, above and below.
    static constexpr int kMargin = 4;

    // "缺少 DuForm 或 DuListName !" without either; the list element must
    // be of kind "listview".
    TRcDuListView(TDuWindow* aDuWindow, const std::string& aDuListName);

    void SetAdapter(TRcDuListViewAdapter* aAdapter);
    TRcDuListViewAdapter* Adapter() const { return FAdapter.Get(); }

    // Counts again and fills the clones from the top; the selection is
    // dropped.
    void ReLoad() override;
    void OnItemAdd(int) override { ReLoad(); }
    void OnItemRemove(int) override { ReLoad(); }

    void SetZebra(bool aOn) { FZebraFlage = aOn; }
    void SetZebraOddStyle(const std::string& aStyle) { FZebraStyle[0] = aStyle; }
    void SetZebraEvenStyle(const std::string& aStyle) { FZebraStyle[1] = aStyle; }
    void SetGroupSelectedStyle(const std::string& aStyle) { FGroupSelectedStyle = aStyle; }
    void SetRowSelectedStyle(const std::string& aStyle) { FRowSelectedStyle = aStyle; }
    void SetVisiable(bool aVisible) { FDuList.SetVisible(aVisible); }
    bool GetVisiable() const { return FDuList.IsVisible(); }

    // Rows and group headers in all.
    int ItemCount() const { return static_cast<int>(FItemTop.size()); }
    // Clones made (the visible rows and the margin), for the curious.
    int CloneCount() const;

    // The data of that group and row while a clone shows it, else nothing.
    TRcDuListViewData* DataByGroupAndRow(int aGroup, int aRow) const;
    // Selects that group and row (scrolling it into view); its data.
    TRcDuListViewData* SelectWithGroupAndRow(int aGroup, int aRow);
    // The selected row's data (filled afresh when no clone shows it), or nothing.
    TRcDuListViewData* DataOfSelected();
    int SelectedGroup() const { return FSelectedGroup; }
    int SelectedRow() const { return FSelectedRow; }
    // The data of the clone holding aRowChildPlugin; "找不到分组或行数据！"
    // when it is in none.
    TRcDuListViewData* DataByRowPluginChild(const duPlugin& aRowChildPlugin) const;
    TRcDuListViewData* GroupDataByRowData(TRcDuListViewData* aRowData) const;
    // The clones that show data now, top to bottom.
    void ForEachRow(const std::function<void(int aGroup, int aRow, TRcDuListViewData* aData)>& aProc) const;

    // Scrolls so that item (group header or row) aItem is in view.
    void ScrollToItem(int aItem);

    // Drops the adapter and every clone. The adapter holds its list views
    // while they show it, so a screen calls this when it is done with a
    // list view (before its window goes).
    void Clear();

protected:
    ~TRcDuListView() override;

private:
    struct TImpl;
    struct TClone {
        duPlugin Plugin;
        TRcRef<TRcDuListViewData> Data;
        bool Group = false;
        int Item = -1;   // the item it shows, -1 when idle
    };

    void Fill();
    void FillClone(TClone& aClone, int aItem);
    TClone& TakeClone(bool aGroup, std::vector<TClone*>& aIdle);
    int ItemOf(int aGroup, int aRow) const;
    void ItemToGroupRow(int aItem, int& aGroup, int& aRow) const;
    int ItemAt(int aY) const;
    void ApplyStyle(TClone& aClone);
    void OnSelChange(const duPlugin& aNew);
    void OnDoubleClick(const duPlugin& aRow);
    void Select(int aItem, bool aNotifyForm);
    void RemoveClones();
    // Keeps the clones for the next fill, showing nothing.
    void IdleClones();
    const TClone* CloneOf(const duPlugin& aPlugin) const;

    TDuWindow* FDuWindow = nullptr;
    duPlugin FDuList;
    TRcRef<TRcDuListViewAdapter> FAdapter;
    int FSuffix = 0;
    duPlugin FDuGroupTemplate, FDuRowTemplate;
    bool FZebraFlage = false;
    std::string FZebraStyle[2] = {"even_numbers_zebra_crossing", "odd_number_zebra_crossing"};
    std::string FGroupSelectedStyle, FRowSelectedStyle;
    std::string FRowStyle, FGroupStyle;   // the templates' own styles

    std::vector<TRcRef<TRcDuListViewData>> FGroups;   // per group, for as long as the list is loaded
    std::vector<int> FGroupFirstItem;                  // the item of each group's header
    std::vector<int> FItemTop;                         // the top of each item, in pixels
    int FRowHeight = 0, FGroupHeight = 0, FTotalHeight = 0;
    std::vector<TClone> FClones;
    // What the clones were made for: another adapter or template makes new ones.
    const TRcDuListViewAdapter* FClonesAdapter = nullptr;
    std::string FClonesGroupTemplate, FClonesRowTemplate;
    int FSelectedGroup = -1, FSelectedRow = -1;
    bool FFilling = false;
    TRcRef<TRcDuListViewData> FDetachedSelected;
    // The selection before a change the keyboard made, until the
    // notification of that change comes back through the window.
    int FPendingOldRow = -1;
    TRcRef<TRcDuListViewData> FPendingOldData;
    std::unique_ptr<TImpl> d;
};
