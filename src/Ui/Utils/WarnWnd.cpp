#include "WarnWnd.h"

#include "MessageText.h"

#include <QCoreApplication>

#include <memory>

namespace {

std::unique_ptr<TFrmwarnWnd> gWarnWnd;
bool gPostRoutineAdded = false;

void FreeAtApplicationEnd()
{
    gWarnWnd.reset();
    gPostRoutineAdded = false;
}

} // namespace

int ShowWarnWnd(const std::string& aText, const std::string& aCaption, int aButtonSet, int aIcon)
{
    return TFrmwarnWnd::Instance().ShowWarn(aText, aCaption, aButtonSet, aIcon);
}

TFrmwarnWnd& TFrmwarnWnd::Instance()
{
    if (!gWarnWnd) {
        gWarnWnd = TDuForm::New<TFrmwarnWnd>();
        if (!gPostRoutineAdded) {
            // A window must go before the application object does.
            qAddPostRoutine(FreeAtApplicationEnd);
            gPostRoutineAdded = true;
        }
    }
    return *gWarnWnd;
}

void TFrmwarnWnd::FreeInstance()
{
    gWarnWnd.reset();
}

std::string TFrmwarnWnd::IconImage(int aIcon)
{
    switch (aIcon) {
    case 16: return "cancel";
    case 32: return "ask";
    case 48: return "warn";
    case 64: return "tip";
    default: return {};
    }
}

void TFrmwarnWnd::BindingDuPlugin()
{
    FButtonOk = GetDuPluginByName("warn_button_ok");
    FButtonCancle = GetDuPluginByName("warn_button_cancle");
    FButtonOther = GetDuPluginByName("warn_button_ignore");
    FWarnFont = GetDuPluginByName("warn_font");
    FWarnTag = GetDuPluginByName("warn_tag");
}

void TFrmwarnWnd::RegisterDuPlugin()
{
    RegisterDuPluginNotifyEvent("frm_Close", DUNM_CLICK, [this](duPlugin, const duNotify&) { Close(); });
    RegisterDuPluginNotifyEvent("warn_button_ok", DUNM_CLICK, [this](duPlugin, const duNotify&) {
        SetModalResult(FShowModalFlags == 4 ? mrYes : mrOk);
    });
    RegisterDuPluginNotifyEvent("warn_button_cancle", DUNM_CLICK, [this](duPlugin, const duNotify&) {
        SetModalResult(FShowModalFlags == 4 ? mrNo : mrCancel);
    });
}

int TFrmwarnWnd::ShowWarn(const std::string& aText, const std::string& aCaption, int aButtonSet, int aIcon)
{
    SetCaption(aCaption);
    DuWindow().DuWindow().SetText(aCaption);
    FWarnFont.SetText(aText);

    FShowModalFlags = aButtonSet;
    // Positions are offsets in the button row, which sits at the right.
    const bool two = aButtonSet == 1 || aButtonSet == 4;
    FButtonOk.SetText(GetMessageText(aButtonSet == 4 ? "BtnYes" : "BtnOk"));
    FButtonOk.SetPos(two ? 81 : 162, FButtonOk.GetTop());
    FButtonOk.SetVisible(true);
    FButtonCancle.SetText(GetMessageText(aButtonSet == 4 ? "BtnNO" : "BtnCancle"));
    FButtonCancle.SetPos(162, FButtonCancle.GetTop());
    FButtonCancle.SetVisible(two);
    FButtonOther.SetVisible(false);

    const std::string icon = IconImage(aIcon);
    FWarnTag.SetImage(icon);
    FWarnTag.SetVisible(!icon.empty());
    Invalidate();
    return ShowModal();
}
