#include "Ui.h"

#include "InstanceLock.h"

#include "SingleInstance.h"

#include "Ui/FrmMain.h"
#include "Ui/Mail/FrmMailListView.h"
#include "Ui/FrmSendReceivePressInfo.h"

#include "Business/Data/DataFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/Data/DataUpgrade.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Server/ServerDriver.h"
#include "Business/Update/AppUpdateManager.h"
#include "Business/Update/UpdateHandOver.h"
#include "Runtime/Log.h"

#include <QCoreApplication>
#include <QTimer>
#include <memory>
#include <cstring>
#include <spawn.h>
#include <thread>

extern char** environ;

namespace {

std::unique_ptr<TSingleInstance> gInstance;
std::unique_ptr<TfrmMain> gMainWindow;
std::unique_ptr<TfrmSendReceivePressInfo> gProgressWindow;
// The start-up update check's worker; joined before the forms go.
std::thread gUpdateCheck;

// Ends the update check's worker before the form it answers through goes.
void StopUpdateCheck()
{
    if (!gUpdateCheck.joinable())
        return;
    if (TAppUpdateManager* updates = TAppUpdateManager::AppUpdateManager())
        updates->Cancel();
    gUpdateCheck.join();
}

// Starts the updater copy with its hand-over file; false when it cannot.
bool RunUpdater(const std::filesystem::path& aUpdater)
{
    const std::string program = aUpdater.string();
    const std::string handOver = (aUpdater.parent_path() / "AppUpgrade.json").string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(handOver.c_str()), nullptr};
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0) {
        TLog::O(lolWorn, "不能启动应用程序升级程序：%s", {std::strerror(error)});
        return false;
    }
    return true;
}

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
    StopUpdateCheck();
}

void TUi::ApplicateUpdateProcess(TUiForm& aForm, std::function<void(bool aStarted)> aThen)
{
    TLog::O(lolInfo, "应用程序升级测试...");
    TConfigManager* config = TConfigManager::ConfigManager();
    TAppUpdateManager* updates = TAppUpdateManager::AppUpdateManager();
    if (!config || !updates || config->ApplicationVersion() == "<none>" || gUpdateCheck.joinable()) {
        aThen(false);
        return;
    }
    const std::filesystem::path updater = config->UpdaterProgram();
    std::error_code ec;
    if (updater.empty() || !std::filesystem::is_regular_file(updater, ec)) {
        TLog::O(lolWorn, "没有找到应用程序升级程序。");
        aThen(false);
        return;
    }
    const std::string version = config->ApplicationVersion();
    gUpdateCheck = std::thread([&aForm, aThen, updates, updater, version] {
        const TVersionCheckResult result = updates->CheckForUpdate(version);
        aForm.AppendDelayBlock([aThen, result, updater] {
            if (!result.OldFlag) {
                aThen(false);
                return;
            }
            TLog::O(lolInfo, "发现新版本(%s)。", {result.Version});
            bool started = false;
            try {
                started = RunUpdater(PrepareUpdateHandOver(result, updater));
            } catch (const std::exception& e) {
                TLog::O(lolWorn, "不能交给应用程序升级程序：%s", {e.what()});
            }
            aThen(started);
            if (started)
                QCoreApplication::exit(0);
        });
    });
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
    gMainWindow->SetUpdateProcess([](std::function<void(bool)> aThen) {
        ApplicateUpdateProcess(*gMainWindow, std::move(aThen));
    });
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
    StopUpdateCheck();
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
