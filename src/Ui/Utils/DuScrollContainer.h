// The scroll container: the grid-shaped list. Items cloned from a template
// are laid out in rows and columns inside a view that scrolls; the columns
// are as many as the view's width holds. Grids here are short (pictures
// to choose from), so every item is cloned.
//
// Screens see this header only: no toolkit type appears.
#pragma once

#include "DuPlugin.h"

#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

#include <functional>
#include <string>
#include <vector>

class TDuWindow;
class TRcDuScrollContainer;

class TRcDuScrollContainerData : public TRcObject {
public:
    static constexpr uint32_t kMagicFlag = 0x552389AA;
    uint32_t FMagicFlag = kMagicFlag;
    TRcDuScrollContainer* FScrollContainer = nullptr;
    TDuWindow* FDuWindow = nullptr;
    int FIndex = -1;
    std::string FSuffix;
    duPlugin FPlugin;

    duPlugin ChildPlugin(const std::string& aChildPluginName) const;

protected:
    ~TRcDuScrollContainerData() override { FMagicFlag = 0; }
};

class TRcDuScrollContainerAdapter : public TRcObject {
public:
    virtual std::string ItemTemplateName() const { return {}; }
    virtual TRcRef<TRcDuScrollContainerData> CreateItemData() { return MakeRc<TRcDuScrollContainerData>(); }
    virtual int ItemCount() { return 0; }
    virtual void InitItem(TRcDuScrollContainerData*) {}
    virtual void UpdateItem(int /*aIndex*/, TRcDuScrollContainerData*) {}
    virtual void BeforeloadData() {}
    virtual void AfterloadData() {}
};

class TRcDuScrollContainer : public TRcObject {
public:
    // aDuViewName: the grid's element (the container's content when empty).
    // "缺少 DuForm 或 DuListName !" without a window or container.
    TRcDuScrollContainer(TDuWindow* aDuWindow, const std::string& aDuContainerName, const std::string& aDuViewName = {});

    void SetAdapter(TRcDuScrollContainerAdapter* aAdapter);
    // Clones an item per index and lays them out in rows and columns; the
    // view's properties duHGap and duVGap are the gaps between them.
    void ReLoad();

    int Columns() const { return FColumns; }
    int Rows() const { return FRows; }
    TRcDuScrollContainerData* DataByItem(int aItemIndex) const;
    // Also remembered as the selected item.
    TRcDuScrollContainerData* DataByPlugin(const duPlugin& aPlugin);
    TRcDuScrollContainerData* DataByItemPluginChild(const duPlugin& aPlugin) const;
    TRcDuScrollContainerData* SelectedData() const { return FSelected.Get(); }
    void ForEachItem(const std::function<void(int, TRcDuScrollContainerData*)>& aProc) const;
    void Clear();

protected:
    ~TRcDuScrollContainer() override;

private:
    void RemoveItems();

    TDuWindow* FDuWindow = nullptr;
    duPlugin FContainer, FView, FTemplate;
    TRcRef<TRcDuScrollContainerAdapter> FAdapter;
    std::vector<TRcRef<TRcDuScrollContainerData>> FItems;
    TRcRef<TRcDuScrollContainerData> FSelected;
    int FColumns = 0, FRows = 0;
};
