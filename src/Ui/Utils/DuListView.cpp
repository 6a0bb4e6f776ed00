#include "DuListView.h"

#include "DuInternal.h"
#include "DuWindow.h"

#include "Runtime/Errors.h"
#include "Runtime/TextFormat.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace {

constexpr const char* kMissingFormOrList = "缺少 DuForm 或 DuListName !";
constexpr const char* kNoGroupTemplateName = "没有分组模板名(%s)！";
constexpr const char* kNoRowTemplateName = "没有元素模板名(%s)！";
constexpr const char* kNoGroupTemplate = "没有分组模板或分组数据类元！";
constexpr const char* kNoRowTemplate = "没有元素模板或行数据类元！";
constexpr const char* kNoData = "找不到分组或行数据！";

int HeightOf(const duPlugin& aTemplate)
{
    QWidget* widget = TDuPluginAccess::Widget(aTemplate);
    if (!widget)
        return 0;
    return std::max({widget->minimumHeight(), widget->sizeHint().height(), 1});
}

} // namespace

duPlugin TRcDuListViewData::ChildPlugin(const std::string& aChildPluginName) const
{
    if (!FDuWindow)
        return {};
    return FDuWindow->FindDuPlugin(aChildPluginName + FSuffix);
}

TRcListViewListenerManager* TRcDuListViewAdapter::ListenerManager()
{
    if (!FListenerManager)
        FListenerManager = MakeRc<TRcListViewListenerManager>();
    return FListenerManager.Get();
}

// The toolkit side: the scroll area, its content, and what moves them.
struct TRcDuListView::TImpl : public QObject {
    TRcDuListView* Owner = nullptr;
    QPointer<QScrollArea> Area;
    QPointer<QWidget> Viewport;
    QPointer<QWidget> Content;
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);

    bool eventFilter(QObject* aWatched, QEvent* aEvent) override
    {
        // Compared as objects: a watched widget may be half destroyed.
        if (aWatched == Viewport.data() && aEvent->type() == QEvent::Resize) {
            Owner->Fill();
        } else if (aWatched == Content && aEvent->type() == QEvent::Resize) {
            const int width = Content->width();
            for (TClone& clone : Owner->FClones)
                if (QWidget* w = TDuPluginAccess::Widget(clone.Plugin))
                    w->resize(width, w->height());
        } else if (aWatched == static_cast<QObject*>(Area.data()) && aEvent->type() == QEvent::KeyPress) {
            return Key(static_cast<QKeyEvent*>(aEvent));
        }
        return QObject::eventFilter(aWatched, aEvent);
    }

    // Keyboard navigation moves the selection by data and scrolls to it.
    bool Key(QKeyEvent* aKey)
    {
        const int count = Owner->ItemCount();
        if (count == 0)
            return false;
        const int current = Owner->FSelectedGroup < 0 && Owner->FSelectedRow < 0
                                ? -1
                                : Owner->ItemOf(Owner->FSelectedGroup, Owner->FSelectedRow);
        const int page = std::max(1, Area->viewport()->height() / std::max(1, Owner->FRowHeight) - 1);
        int next = current;
        switch (aKey->key()) {
        case Qt::Key_Down: next = current + 1; break;
        case Qt::Key_Up: next = current < 0 ? 0 : current - 1; break;
        case Qt::Key_PageDown: next = current + page; break;
        case Qt::Key_PageUp: next = current < 0 ? 0 : current - page; break;
        case Qt::Key_Home: next = 0; break;
        case Qt::Key_End: next = count - 1; break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (current >= 0)
                for (const TClone& clone : Owner->FClones)
                    if (clone.Item == current)
                        Owner->FDuWindow->Notify(Owner->FDuList, duNotify{DUNM_LIST_DBLCLICK, 0, 0, clone.Plugin, {}});
            return true;
        case Qt::Key_Menu:
            for (const TClone& clone : Owner->FClones)
                if (clone.Item == current)
                    Owner->FDuWindow->Notify(Owner->FDuList, duNotify{DUNM_LIST_CONTEXT, 0, 0, clone.Plugin, {}});
            return true;
        default:
            return false;
        }
        next = std::clamp(next, 0, count - 1);
        if (next != current)
            Owner->Select(next, true);
        return true;
    }
};

TRcDuListView::TRcDuListView(TDuWindow* aDuWindow, const std::string& aDuListName) : d(std::make_unique<TImpl>())
{
    if (!aDuWindow || aDuListName.empty())
        throw Exception(kMissingFormOrList);
    FDuWindow = aDuWindow;
    FDuList = aDuWindow->GetDuPluginByName(aDuListName);
    d->Owner = this;
    d->Area = qobject_cast<QScrollArea*>(TDuPluginAccess::Widget(FDuList));
    if (!d->Area || !d->Area->widget())
        throw Exception(kMissingFormOrList);
    d->Content = d->Area->widget();
    d->Viewport = d->Area->viewport();
    d->Area->setFocusPolicy(Qt::StrongFocus);
    d->Area->installEventFilter(d.get());
    d->Area->viewport()->installEventFilter(d.get());
    d->Content->installEventFilter(d.get());
    QObject::connect(d->Area->verticalScrollBar(), &QScrollBar::valueChanged, d.get(), [this] { Fill(); });

    // The window outlives no list view's handlers: they check first.
    std::weak_ptr<bool> alive = d->Alive;
    aDuWindow->RegisterDuPluginNotifyEvent(aDuListName, DUNM_LIST_SELCHANGE,
                                           [this, alive](duPlugin, const duNotify& aNotify) {
                                               if (!alive.expired())
                                                   OnSelChange(aNotify.lPlugin);
                                           });
    aDuWindow->RegisterDuPluginNotifyEvent(aDuListName, DUNM_LIST_DBLCLICK,
                                           [this, alive](duPlugin, const duNotify& aNotify) {
                                               if (!alive.expired())
                                                   OnDoubleClick(aNotify.wPlugin);
                                           });
}

TRcDuListView::~TRcDuListView()
{
    d->Alive.reset();
    Clear();
}

void TRcDuListView::Clear()
{
    SetAdapter(nullptr);
    RemoveClones();
}

void TRcDuListView::SetAdapter(TRcDuListViewAdapter* aAdapter)
{
    if (aAdapter == FAdapter.Get())
        return;
    if (FAdapter)
        FAdapter->ListenerManager()->UnRegeditListener(this);
    FAdapter = TRcRef<TRcDuListViewAdapter>::Retain(aAdapter);
    if (FAdapter)
        FAdapter->ListenerManager()->RegeditListener(this);
    RemoveClones();   // their data objects are the old adapter's
    ReLoad();
}

int TRcDuListView::CloneCount() const
{
    return static_cast<int>(FClones.size());
}

void TRcDuListView::RemoveClones()
{
    for (auto it = FClones.rbegin(); it != FClones.rend(); ++it) {
        it->Plugin.SetParam(0);
        if (it->Data && it->Data->FPlugin == it->Plugin)
            it->Data->FPlugin = duPlugin();
        // Nothing to delete once the window has gone with its elements.
        if (it->Plugin && FDuWindow && FDuList)
            FDuWindow->DuPluginDelete(it->Plugin);
    }
    FClones.clear();
    FSuffix = 0;
    FClonesAdapter = nullptr;
}

void TRcDuListView::IdleClones()
{
    for (TClone& clone : FClones) {
        clone.Item = -1;
        clone.Plugin.SetVisible(false);
        if (clone.Group)
            clone.Data = nullptr;   // the group's own data; a new load makes new ones
    }
}

void TRcDuListView::ReLoad()
{
    // Clones cost a skin instantiation each: a reload of the same adapter
    // (another folder, another sort order) fills the ones it has.
    const std::string groupName = FAdapter ? FAdapter->GroupTemplateName() : std::string();
    const std::string rowName0 = FAdapter ? FAdapter->RowTemplateName() : std::string();
    if (FAdapter && FAdapter.Get() == FClonesAdapter && groupName == FClonesGroupTemplate &&
        rowName0 == FClonesRowTemplate) {
        IdleClones();
    } else {
        RemoveClones();
        FClonesAdapter = FAdapter.Get();
        FClonesGroupTemplate = groupName;
        FClonesRowTemplate = rowName0;
    }
    FGroups.clear();
    FGroupFirstItem.clear();
    FItemTop.clear();
    FTotalHeight = 0;
    FSelectedGroup = FSelectedRow = -1;
    FDetachedSelected = nullptr;
    FDuGroupTemplate = FDuRowTemplate = duPlugin();
    FDuList.SetSelItem(duPlugin());
    if (d->Content)
        d->Content->setMinimumHeight(0);
    if (!FAdapter)
        return;

    const int groups = FAdapter->GroupCount();
    if (groups > 0) {
        const std::string name = FAdapter->GroupTemplateName();
        if (name.empty())
            throw Exception(FormatText(kNoGroupTemplateName, {FDuList.GetName()}));
        FDuGroupTemplate = FDuWindow->FindDuPlugin(name);
        if (!FDuGroupTemplate)
            throw Exception(kNoGroupTemplate);
        FGroupHeight = HeightOf(FDuGroupTemplate);
        FGroupStyle = FDuGroupTemplate.GetStyle();
    }
    const std::string rowName = FAdapter->RowTemplateName();
    if (rowName.empty())
        throw Exception(FormatText(kNoRowTemplateName, {FDuList.GetName()}));
    FDuRowTemplate = FDuWindow->FindDuPlugin(rowName);
    if (!FDuRowTemplate)
        throw Exception(kNoRowTemplate);
    FRowHeight = HeightOf(FDuRowTemplate);
    FRowStyle = FDuRowTemplate.GetStyle();

    auto addItems = [this](int aTop, int aHeight) {
        FItemTop.push_back(aTop);
        return aTop + aHeight;
    };
    int top = 0;
    if (groups <= 0) {
        const int rows = std::max(0, FAdapter->RowCount(-1, nullptr));
        FItemTop.reserve(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i)
            top = addItems(top, FRowHeight);
    } else {
        for (int g = 0; g < groups; ++g) {
            TRcRef<TRcDuListViewData> data = FAdapter->CreateGroupData();
            data->FListView = this;
            data->FDuWindow = FDuWindow;
            data->FGroup = g;
            data->FRow = -1;
            FAdapter->InitGroup(data.Get());
            FAdapter->UpdateGroup(g, data.Get());
            FGroupFirstItem.push_back(static_cast<int>(FItemTop.size()));
            top = addItems(top, FGroupHeight);
            const int rows = std::max(0, FAdapter->RowCount(g, data.Get()));
            for (int i = 0; i < rows; ++i)
                top = addItems(top, FRowHeight);
            FGroups.push_back(std::move(data));
        }
    }
    FTotalHeight = top;
    d->Content->setMinimumHeight(FTotalHeight);
    d->Area->verticalScrollBar()->setValue(0);
    Fill();
    FDuWindow->Invalidate();
}

int TRcDuListView::ItemAt(int aY) const
{
    if (FItemTop.empty())
        return -1;
    auto it = std::upper_bound(FItemTop.begin(), FItemTop.end(), aY);
    return std::max(0, static_cast<int>(it - FItemTop.begin()) - 1);
}

int TRcDuListView::ItemOf(int aGroup, int aRow) const
{
    if (FGroups.empty())
        return aGroup < 0 && aRow >= 0 && aRow < ItemCount() ? aRow : -1;
    if (aGroup < 0 || aGroup >= static_cast<int>(FGroups.size()))
        return -1;
    const int header = FGroupFirstItem[static_cast<std::size_t>(aGroup)];
    const int end = aGroup + 1 < static_cast<int>(FGroups.size()) ? FGroupFirstItem[static_cast<std::size_t>(aGroup) + 1]
                                                                  : ItemCount();
    const int item = aRow < 0 ? header : header + 1 + aRow;
    return item < end ? item : -1;
}

void TRcDuListView::ItemToGroupRow(int aItem, int& aGroup, int& aRow) const
{
    if (FGroups.empty()) {
        aGroup = -1;
        aRow = aItem;
        return;
    }
    auto it = std::upper_bound(FGroupFirstItem.begin(), FGroupFirstItem.end(), aItem);
    aGroup = static_cast<int>(it - FGroupFirstItem.begin()) - 1;
    aRow = aItem - FGroupFirstItem[static_cast<std::size_t>(aGroup)] - 1;
}

void TRcDuListView::Fill()
{
    if (FFilling || !FAdapter || !d->Area)
        return;
    FFilling = true;
    const int count = ItemCount();
    const int top = d->Area->verticalScrollBar()->value();
    const int height = d->Area->viewport()->height();
    int first = 0, last = -1;
    if (count > 0) {
        first = std::max(0, ItemAt(top) - kMargin);
        last = std::min(count - 1, ItemAt(top + height) + kMargin);
    }
    // Clones whose item left the range are free for the items that came in.
    std::vector<bool> shown(static_cast<std::size_t>(std::max(0, last - first + 1)), false);
    std::vector<TClone*> idle;
    for (TClone& clone : FClones) {
        if (clone.Item >= first && clone.Item <= last)
            shown[static_cast<std::size_t>(clone.Item - first)] = true;
        else
            idle.push_back(&clone);
    }
    // New clones are made only when no idle one fits; the vector may grow,
    // so the idle list is taken again afterwards.
    std::vector<int> missing;
    for (int item = first; item <= last; ++item)
        if (!shown[static_cast<std::size_t>(item - first)])
            missing.push_back(item);
    for (int item : missing) {
        int group = -1, row = 0;
        ItemToGroupRow(item, group, row);
        TClone& clone = TakeClone(row < 0, idle);
        FillClone(clone, item);
    }
    for (TClone* clone : idle) {
        if (clone->Item >= 0) {
            clone->Item = -1;
            clone->Plugin.SetVisible(false);
        }
    }
    FFilling = false;
}

TRcDuListView::TClone& TRcDuListView::TakeClone(bool aGroup, std::vector<TClone*>& aIdle)
{
    for (auto it = aIdle.begin(); it != aIdle.end(); ++it) {
        if ((*it)->Group == aGroup) {
            TClone* clone = *it;
            aIdle.erase(it);
            return *clone;
        }
    }
    // Pointers into the vector die when it grows: remember idle ones by index.
    std::vector<std::size_t> idleIndex;
    for (TClone* clone : aIdle)
        idleIndex.push_back(static_cast<std::size_t>(clone - FClones.data()));

    TClone clone;
    clone.Group = aGroup;
    const std::string suffix = std::to_string(++FSuffix);
    clone.Plugin = FDuWindow->DuPluginClone(aGroup ? FDuGroupTemplate : FDuRowTemplate, FDuList, duPlugin(), suffix);
    if (QWidget* widget = TDuPluginAccess::Widget(clone.Plugin)) {
        // Placed by the list view, not by the content's layout.
        if (QLayout* layout = LayoutHolding(widget))
            layout->removeWidget(widget);
        widget->setParent(d->Content);
    }
    if (!aGroup) {
        clone.Data = FAdapter->CreateRowData();
        clone.Data->FListView = this;
        clone.Data->FDuWindow = FDuWindow;
        clone.Data->FSuffix = suffix;
        clone.Data->FPlugin = clone.Plugin;
        FAdapter->InitRow(clone.Data.Get());
    }
    FClones.push_back(std::move(clone));

    aIdle.clear();
    for (std::size_t i : idleIndex)
        aIdle.push_back(&FClones[i]);
    return FClones.back();
}

void TRcDuListView::FillClone(TClone& aClone, int aItem)
{
    int group = -1, row = 0;
    ItemToGroupRow(aItem, group, row);
    aClone.Item = aItem;
    if (aClone.Group) {
        // A group's data lives with the list; the clone shows it.
        TRcDuListViewData* data = FGroups[static_cast<std::size_t>(group)].Get();
        aClone.Data = TRcRef<TRcDuListViewData>::Retain(data);
        data->FPlugin = aClone.Plugin;
        data->FSuffix = aClone.Plugin.GetName().substr(FDuGroupTemplate.GetName().size());
        aClone.Plugin.SetParam(reinterpret_cast<intptr_t>(data));
        FAdapter->UpdateGroup(group, data);
    } else {
        TRcDuListViewData* data = aClone.Data.Get();
        data->FGroup = group;
        data->FRow = row;
        data->FGroupData = group >= 0 ? FGroups[static_cast<std::size_t>(group)] : nullptr;
        aClone.Plugin.SetParam(reinterpret_cast<intptr_t>(data));
        FAdapter->UpdateRow(group, data->FGroupData.Get(), row, data);
    }
    if (QWidget* widget = TDuPluginAccess::Widget(aClone.Plugin)) {
        const int height = aClone.Group ? FGroupHeight : FRowHeight;
        widget->setGeometry(0, FItemTop[static_cast<std::size_t>(aItem)], d->Content->width(), height);
        widget->show();
    }
    ApplyStyle(aClone);
    // The toolkit's record of the selected row names a clone; when that
    // clone now shows another row, the record must not claim it.
    if (FDuList.GetSelItem() == aClone.Plugin && ItemOf(FSelectedGroup, FSelectedRow) != aItem)
        FDuList.SetSelItem(duPlugin());
}

void TRcDuListView::ApplyStyle(TClone& aClone)
{
    const bool selected = aClone.Item >= 0 && aClone.Item == ItemOf(FSelectedGroup, FSelectedRow);
    std::string style;
    if (aClone.Group) {
        style = selected && !FGroupSelectedStyle.empty() ? FGroupSelectedStyle : FGroupStyle;
    } else if (selected && !FRowSelectedStyle.empty()) {
        style = FRowSelectedStyle;
    } else if (FZebraFlage && aClone.Data) {
        style = FZebraStyle[aClone.Data->FRow % 2 == 0 ? 1 : 0];
    } else {
        style = FRowStyle;
    }
    if (aClone.Plugin.GetStyle() != style)
        aClone.Plugin.SetStyle(style);
}

const TRcDuListView::TClone* TRcDuListView::CloneOf(const duPlugin& aPlugin) const
{
    for (duPlugin p = aPlugin; p && !(p == FDuList); p = p.GetParent())
        for (const TClone& clone : FClones)
            if (clone.Item >= 0 && clone.Plugin == p)
                return &clone;
    return nullptr;
}

TRcDuListViewData* TRcDuListView::DataByGroupAndRow(int aGroup, int aRow) const
{
    const int item = ItemOf(aGroup, aRow);
    for (const TClone& clone : FClones)
        if (item >= 0 && clone.Item == item)
            return clone.Data.Get();
    return nullptr;
}

TRcDuListViewData* TRcDuListView::DataByRowPluginChild(const duPlugin& aRowChildPlugin) const
{
    const TClone* clone = CloneOf(aRowChildPlugin);
    if (!clone)
        throw Exception(kNoData);
    return clone->Data.Get();
}

TRcDuListViewData* TRcDuListView::GroupDataByRowData(TRcDuListViewData* aRowData) const
{
    return aRowData && aRowData->FRow >= 0 ? aRowData->FGroupData.Get() : nullptr;
}

void TRcDuListView::ForEachRow(const std::function<void(int, int, TRcDuListViewData*)>& aProc) const
{
    std::vector<const TClone*> shown;
    for (const TClone& clone : FClones)
        if (clone.Item >= 0)
            shown.push_back(&clone);
    std::sort(shown.begin(), shown.end(), [](const TClone* a, const TClone* b) { return a->Item < b->Item; });
    for (const TClone* clone : shown)
        aProc(clone->Data->FGroup, clone->Data->FRow, clone->Data.Get());
}

void TRcDuListView::ScrollToItem(int aItem)
{
    if (aItem < 0 || aItem >= ItemCount())
        return;
    const int top = FItemTop[static_cast<std::size_t>(aItem)];
    const int bottom = aItem + 1 < ItemCount() ? FItemTop[static_cast<std::size_t>(aItem) + 1] : FTotalHeight;
    QScrollBar* bar = d->Area->verticalScrollBar();
    const int height = d->Area->viewport()->height();
    if (top < bar->value())
        bar->setValue(top);
    else if (bottom > bar->value() + height)
        bar->setValue(bottom - height);
    Fill();
}

void TRcDuListView::Select(int aItem, bool aNotifyForm)
{
    const int oldItem = ItemOf(FSelectedGroup, FSelectedRow);
    int oldGroup = FSelectedGroup, oldRow = FSelectedRow;
    TRcRef<TRcDuListViewData> oldData = TRcRef<TRcDuListViewData>::Retain(DataByGroupAndRow(oldGroup, oldRow));
    duPlugin oldPlugin = oldData ? oldData->FPlugin : duPlugin();
    ItemToGroupRow(aItem, FSelectedGroup, FSelectedRow);
    FDetachedSelected = nullptr;
    ScrollToItem(aItem);
    for (TClone& clone : FClones)
        if (clone.Item == aItem || clone.Item == oldItem)
            ApplyStyle(clone);
    TRcDuListViewData* newData = DataByGroupAndRow(FSelectedGroup, FSelectedRow);
    if (newData)
        FDuList.SetSelItem(newData->FPlugin);
    if (aNotifyForm && newData) {
        // The form hears it as it hears a click (and so does this list view,
        // which calls the adapter then).
        FPendingOldRow = oldRow;
        FPendingOldData = oldData;
        FDuWindow->Notify(FDuList, duNotify{DUNM_LIST_SELCHANGE, 0, 0, oldPlugin, newData->FPlugin});
        return;
    }
    if (!FAdapter || !newData)
        return;
    if (FSelectedRow < 0)
        FAdapter->GroupChanged(oldRow, oldData.Get(), FSelectedRow, newData);
    else
        FAdapter->RowChanged(oldRow, oldData.Get(), FSelectedRow, newData);
}

void TRcDuListView::OnSelChange(const duPlugin& aNew)
{
    const TClone* clone = CloneOf(aNew);
    if (!clone)
        return;
    const int item = clone->Item;
    if (item == ItemOf(FSelectedGroup, FSelectedRow)) {
        // Already selected by keyboard: only the adapter is still to hear it.
        const int oldRow = std::exchange(FPendingOldRow, -1);
        const TRcRef<TRcDuListViewData> oldData = std::exchange(FPendingOldData, nullptr);
        if (FAdapter && clone->Data) {
            if (FSelectedRow < 0)
                FAdapter->GroupChanged(oldRow, oldData.Get(), FSelectedRow, clone->Data.Get());
            else
                FAdapter->RowChanged(oldRow, oldData.Get(), FSelectedRow, clone->Data.Get());
        }
        return;
    }
    Select(item, false);
}

void TRcDuListView::OnDoubleClick(const duPlugin& aRow)
{
    const TClone* clone = CloneOf(aRow);
    if (!clone || !FAdapter || clone->Group)
        return;
    // A double click into an edit being edited belongs to the edit.
    const duPlugin first = clone->Plugin.GetFirstChild();
    if (first && first.GetType() == "edit" && first == FDuWindow->DuPluginOfFocus())
        return;
    FAdapter->RowDoubleClicked(clone->Data->FRow, clone->Data.Get());
}

TRcDuListViewData* TRcDuListView::SelectWithGroupAndRow(int aGroup, int aRow)
{
    const int item = ItemOf(aGroup, aRow);
    if (item < 0)
        return nullptr;
    Select(item, false);
    return DataByGroupAndRow(aGroup, aRow);
}

TRcDuListViewData* TRcDuListView::DataOfSelected()
{
    if (FSelectedGroup < 0 && FSelectedRow < 0)
        return nullptr;
    if (TRcDuListViewData* data = DataByGroupAndRow(FSelectedGroup, FSelectedRow))
        return data;
    if (FSelectedRow < 0)
        return FGroups[static_cast<std::size_t>(FSelectedGroup)].Get();
    // Scrolled away: the row's data filled afresh, without a clone.
    if (!FDetachedSelected) {
        FDetachedSelected = FAdapter->CreateRowData();
        FDetachedSelected->FListView = this;
        FDetachedSelected->FDuWindow = FDuWindow;
        // Names no element: an adapter that fills the row's children finds none.
        FDetachedSelected->FSuffix = "#detached";
        FDetachedSelected->FGroup = FSelectedGroup;
        FDetachedSelected->FRow = FSelectedRow;
        FDetachedSelected->FGroupData = FSelectedGroup >= 0 ? FGroups[static_cast<std::size_t>(FSelectedGroup)] : nullptr;
        FAdapter->UpdateRow(FSelectedGroup, FDetachedSelected->FGroupData.Get(), FSelectedRow, FDetachedSelected.Get());
    }
    return FDetachedSelected.Get();
}
