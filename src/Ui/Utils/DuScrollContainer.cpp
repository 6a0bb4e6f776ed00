#include "DuScrollContainer.h"

#include "DuInternal.h"
#include "DuWindow.h"

#include "Runtime/Errors.h"
#include "Runtime/TextFormat.h"

#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr const char* kMissingFormOrList = "缺少 DuForm 或 DuListName !";
constexpr const char* kNoItemTemplateName = "没有元素模板名(%s)！";

} // namespace

duPlugin TRcDuScrollContainerData::ChildPlugin(const std::string& aChildPluginName) const
{
    return FDuWindow ? FDuWindow->FindDuPlugin(aChildPluginName + FSuffix) : duPlugin();
}

TRcDuScrollContainer::TRcDuScrollContainer(TDuWindow* aDuWindow, const std::string& aDuContainerName,
                                           const std::string& aDuViewName)
{
    if (!aDuWindow || aDuContainerName.empty())
        throw Exception(kMissingFormOrList);
    FDuWindow = aDuWindow;
    FContainer = aDuWindow->GetDuPluginByName(aDuContainerName);
    if (!aDuViewName.empty())
        FView = aDuWindow->GetDuPluginByName(aDuViewName);
    else if (auto* area = qobject_cast<QScrollArea*>(TDuPluginAccess::Widget(FContainer)); area && area->widget())
        FView = TDuPluginAccess::Make(area->widget());
    else
        FView = FContainer.GetLastChild();
    if (!FView)
        throw Exception(kMissingFormOrList);
}

TRcDuScrollContainer::~TRcDuScrollContainer()
{
    Clear();
}

void TRcDuScrollContainer::Clear()
{
    FAdapter = nullptr;
    RemoveItems();
}

void TRcDuScrollContainer::SetAdapter(TRcDuScrollContainerAdapter* aAdapter)
{
    if (aAdapter == FAdapter.Get())
        return;
    FAdapter = TRcRef<TRcDuScrollContainerAdapter>::Retain(aAdapter);
    ReLoad();
}

void TRcDuScrollContainer::RemoveItems()
{
    FSelected = nullptr;
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
        (*it)->FPlugin.SetParam(0);
        if ((*it)->FPlugin && FView)
            FDuWindow->DuPluginDelete((*it)->FPlugin);
        (*it)->FPlugin = duPlugin();
    }
    FItems.clear();
    FColumns = FRows = 0;
}

void TRcDuScrollContainer::ReLoad()
{
    RemoveItems();
    if (!FAdapter)
        return;
    FAdapter->BeforeloadData();
    const std::string name = FAdapter->ItemTemplateName();
    if (name.empty())
        throw Exception(FormatText(kNoItemTemplateName, {FContainer.GetName()}));
    FTemplate = FDuWindow->GetDuPluginByName(name);
    QWidget* view = TDuPluginAccess::Widget(FView);
    QWidget* tile = TDuPluginAccess::Widget(FTemplate);
    const int count = std::max(0, FAdapter->ItemCount());
    for (int i = 0; i < count; ++i) {
        const std::string suffix = std::to_string(i);
        duPlugin plugin = FDuWindow->DuPluginClone(FTemplate, FView, duPlugin(), suffix);
        if (QWidget* widget = TDuPluginAccess::Widget(plugin)) {
            // Placed by the grid, not by the view's layout.
            if (QLayout* layout = LayoutHolding(widget))
                layout->removeWidget(widget);
            widget->setParent(view);
        }
        TRcRef<TRcDuScrollContainerData> data = FAdapter->CreateItemData();
        data->FScrollContainer = this;
        data->FDuWindow = FDuWindow;
        data->FIndex = i;
        data->FSuffix = suffix;
        data->FPlugin = plugin;
        plugin.SetParam(reinterpret_cast<intptr_t>(data.Get()));
        FAdapter->InitItem(data.Get());
        FAdapter->UpdateItem(i, data.Get());
        FItems.push_back(std::move(data));
    }
    // The grid: as many columns as the view's width holds.
    const int hGap = FView.GetAttributeInt("duHGap", 0), vGap = FView.GetAttributeInt("duVGap", 0);
    const QSize size = tile ? tile->size().expandedTo(tile->minimumSize()) : QSize(1, 1);
    const int width = std::max(1, size.width()), height = std::max(1, size.height());
    const int viewWidth = view ? view->width() : 0;
    FColumns = std::max(1, viewWidth / (width + hGap));
    FRows = count == 0 ? 0 : (count + FColumns - 1) / FColumns;
    for (const auto& data : FItems)
        if (QWidget* widget = TDuPluginAccess::Widget(data->FPlugin)) {
            widget->setGeometry((data->FIndex % FColumns) * (width + hGap), (data->FIndex / FColumns) * (height + vGap),
                                width, height);
            widget->show();
        }
    if (view)
        view->setMinimumHeight(FRows * (height + vGap));
    if (auto* area = qobject_cast<QScrollArea*>(TDuPluginAccess::Widget(FContainer)))
        area->verticalScrollBar()->setValue(0);
    FDuWindow->Invalidate();
    FAdapter->AfterloadData();
}

TRcDuScrollContainerData* TRcDuScrollContainer::DataByItem(int aItemIndex) const
{
    return aItemIndex >= 0 && aItemIndex < static_cast<int>(FItems.size()) ? FItems[static_cast<std::size_t>(aItemIndex)].Get()
                                                                          : nullptr;
}

TRcDuScrollContainerData* TRcDuScrollContainer::DataByPlugin(const duPlugin& aPlugin)
{
    for (const auto& data : FItems)
        if (data->FPlugin == aPlugin) {
            FSelected = data;
            return data.Get();
        }
    return nullptr;
}

TRcDuScrollContainerData* TRcDuScrollContainer::DataByItemPluginChild(const duPlugin& aPlugin) const
{
    for (duPlugin p = aPlugin; p && !(p == FView); p = p.GetParent())
        for (const auto& data : FItems)
            if (data->FPlugin == p)
                return data.Get();
    return nullptr;
}

void TRcDuScrollContainer::ForEachItem(const std::function<void(int, TRcDuScrollContainerData*)>& aProc) const
{
    for (const auto& data : FItems)
        aProc(data->FIndex, data.Get());
}
