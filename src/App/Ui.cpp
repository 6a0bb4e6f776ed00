#include "Ui.h"

#include "InstanceLock.h"

#include "PlainMainWindow.h"
#include "SingleInstance.h"

#include "Business/Data/DataFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/Data/DataUpgrade.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/Log.h"

#include <QTimer>
#include <memory>

namespace {

std::unique_ptr<TSingleInstance> gInstance;
std::unique_ptr<TPlainMainWindow> gMainWindow;

void BringMainWindowToFront()
{
    TLog::O(lolInfo, "程序收到另一实例的显示请求，显示主窗口");
    if (!gMainWindow)
        return;
    gMainWindow->setWindowState(gMainWindow->windowState() & ~Qt::WindowMinimized);
    gMainWindow->show();
    gMainWindow->raise();
    gMainWindow->activateWindow();
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
    gMainWindow = std::make_unique<TPlainMainWindow>();
    // What the main window's start does first: bring stored data up to date.
    if (!DataBaseUpdate())
        throw Exception("数据升级失败");
    StartAutoReceiveSend();
    gMainWindow->setWindowTitle(QString::fromUtf8(kApplicationTitle));
    gMainWindow->show();
    // Runs once the loop has delivered what show() queued.
    QTimer::singleShot(0, [] { TLog::O(lolInfo, "主窗口已显示"); });
}

void TUi::StartAutoReceiveSend()
{
    TServerDriver* driver = TServerDriver::ServerDriver();
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!driver || !accounts)
        return;
    for (TRcResId* id : *accounts->GetAccounts())
        driver->UpdateAutoReceiveSendState(TRcResPath::CreateAndAutoRelease({id}));
}

QWidget* TUi::MainWindow()
{
    return gMainWindow.get();
}

void TUi::Shutdown()
{
    gMainWindow.reset();
    gInstance.reset();
}
