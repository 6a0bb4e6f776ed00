// The demonstration window of the tests' skin, and what the skin layer's
// tests share.
#pragma once

#include "Ui/Utils/DuForm.h"

#include <string>
#include <vector>

struct TSeenNotify {
    TSeenNotify(std::string aName, int32_t aCode, int64_t aW = 0, std::string aWPlugin = {}, std::string aLPlugin = {})
        : Name(std::move(aName)), Code(aCode), W(aW), WPlugin(std::move(aWPlugin)), LPlugin(std::move(aLPlugin))
    {
    }
    std::string Name;
    int32_t Code = 0;
    int64_t W = 0;
    std::string WPlugin, LPlugin;
    friend bool operator==(const TSeenNotify&, const TSeenNotify&) = default;
};

class TDemoForm : public TDuForm {
public:
    // Every notification that reaches the form, in order.
    std::vector<TSeenNotify> Seen;
    // What the registered handlers did.
    std::vector<std::string> Done;

    duPlugin Edit, ButtonOk, List, ListView, RowTemplate, ChipTemplate, Tabs;

    void DirectUiNotifyProc(duPlugin aPlugin, const duNotify& aNotify) override;

protected:
    std::string GetDuWindowName() const override { return "demo_wnd"; }
    void BindingDuPlugin() override;
    void RegisterDuPlugin() override;
};

// Points the skin layer at a skin folder (the tests' own, or the product's).
void UseTestSkin();
void UseProductSkin();
// Runs posted events, deferred deletions included.
void ProcessEvents();
