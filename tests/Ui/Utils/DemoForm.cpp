#include "DemoForm.h"

#include "Ui/Utils/DuSkin.h"
#include "Ui/Utils/WarnWnd.h"

#include <QCoreApplication>
#include <QEvent>

void TDemoForm::DirectUiNotifyProc(duPlugin aPlugin, const duNotify& aNotify)
{
    Seen.push_back({aPlugin.GetName(), aNotify.uMsg, aNotify.wParam, aNotify.wPlugin.GetName(), aNotify.lPlugin.GetName()});
    TDuForm::DirectUiNotifyProc(aPlugin, aNotify);
}

void TDemoForm::BindingDuPlugin()
{
    Edit = GetDuPluginByName("demo_edit");
    ButtonOk = GetDuPluginByName("demo_button_ok");
    List = GetDuPluginByName("demo_list");
    ListView = GetDuPluginByName("demo_list_view");
    RowTemplate = GetDuPluginByName("demo_row_");
    ChipTemplate = GetDuPluginByName("demo_chip_");
    Tabs = GetDuPluginByName("demo_tabs");
}

void TDemoForm::RegisterDuPlugin()
{
    RegisterDuPluginNotifyEvent("demo_button_ok", DUNM_CLICK, [this](duPlugin, const duNotify&) { Done.push_back("ok"); });
    RegisterDuPluginNotifyEvent("demo_menuitem_reply", DUNM_MENU_ITEM,
                                [this](duPlugin, const duNotify&) { Done.push_back("reply"); });
    // A row's own button deletes the row it sits in.
    RegisterDuPluginNotifyEventForMetch("demo_row_delete_*", DUNM_CLICK, [this](duPlugin aButton, const duNotify&) {
        const duPlugin row = aButton.GetParent();
        Done.push_back("delete " + row.GetName());
        DuPluginDelete(row);
        Done.push_back(aButton ? "button still there" : "button gone");
    });
}

void UseTestSkin()
{
    TFrmwarnWnd::FreeInstance();
    TDuWindowManager::SetSkinFolder(QUILLMAR_TEST_SKIN);
}

void UseProductSkin()
{
    TFrmwarnWnd::FreeInstance();
    TDuWindowManager::SetSkinFolder(QUILLMAR_PRODUCT_SKIN);
}

void ProcessEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
