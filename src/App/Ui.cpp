#include "Ui.h"

#include "InstanceLock.h"

#include "SingleInstance.h"

#include "Ui/FrmMain.h"
#include "Ui/Mail/FrmMailListView.h"
#include "Ui/FrmSendReceivePressInfo.h"

#include "Business/Data/DataFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/Data/DataUpgrade.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/Log.h"

#include <QCoreApplication>
#include <QTimer>
#include <memory>

namespace {

std::unique_ptr<TSingleInstance> gInstance;
std::unique_ptr<TfrmMain> gMainWindow;
std::unique_ptr<TfrmSendReceivePressInfo> gProgressWindow;

void BringMainWindowToFront()
{
    TLog::O(lolInfo, "程序收到另一实例的显示请求，显示主窗口");
    if (gMainWindow)
        gMainWindow->BringToFront();
}

} // namespace

bool TUi::IsFirstInstance()
{
    gInstance = std::make_unique<TSingleInstance>();
    if (!gInstance->Acquire()) {
        gInstance.reset();
        return false;
    }
    gInstance->Listen(BringMainWindowToFront);
    return true;
}

bool TUi::ShowPrevInstance()
{
    // The command-line tool has no window to show.
    if (TInstanceLock::Holder().rfind("quillmar-cli", 0) == 0)
        return false;
    if (TSingleInstance::SendShow())
        return true;
    TLog::O(lolWorn, "不能联系正在运行的实例");
    return false;
}

void TUi::Init()
{
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "展现层初始化");
}

void TUi::UnInit()
{
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "展现层反初始化");
}

bool TUi::DataBaseUpdate()
{
    return RunDataUpgrade(CurrentDataPath());
}

void TUi::CreateForms()
{
    // The progress window hears the scheduler from the start; it shows
    // itself when something goes wrong.
    gProgressWindow = TDuForm::New<TfrmSendReceivePressInfo>();
    gProgressWindow->Attach();
    gMainWindow = TDuForm::New<TfrmMain>();
    // Not quit(): that asks the windows to close, and the main window hides.
    gMainWindow->SetOnQuit([] { QCoreApplication::exit(0); });
    gMainWindow->SetOnShowProgress([] { gProgressWindow->BringToFront(); });
    TfrmMailListView::SetShowProgressProc([] { gProgressWindow->BringToFront(); });
    // The mail window, once open, follows the account chosen in the main window.
    gMainWindow->AddCurrAccountListener([](TRcResPath* aAccount) {
        if (TfrmMailListView* mailWindow = TfrmMailListView::Instance())
            mailWindow->SetCurrAccountResPath(aAccount);
    });
    // The main window's start brings stored data up to date first.
    if (!gMainWindow->Init())
        throw Exception("数据升级失败");
    gMainWindow->Show();
    // Runs once the loop has delivered what Show queued.
    QTimer::singleShot(0, [] { TLog::O(lolInfo, "主窗口已显示"); });
}

TfrmMain* TUi::MainForm()
{
    return gMainWindow.get();
}

void TUi::Shutdown()
{
    TfrmMailListView::FreeInstance();
    TfrmMailListView::SetShowProgressProc({});
    if (gMainWindow)
        gMainWindow->UnInit();
    gMainWindow.reset();
    if (gProgressWindow)
        gProgressWindow->Detach();
    gProgressWindow.reset();
    gInstance.reset();
}
