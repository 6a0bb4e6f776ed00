#include "EntrySequence.h"

#include "ClientApplication.h"
#include "TerminationSignals.h"
#include "InstanceLock.h"
#include "Ui.h"

#include <cstdio>

#include "Business/Business.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/NoSupportDataVersion.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/CommandLine.h"
#include "Runtime/Log.h"
#include "Ui/Utils/HtmlView.h"
#include "Ui/Utils/MessageText.h"

namespace {

using TPool = TRetainCountObjectAutoReleasePool;

// The exit code of a program that found the data in use (EX_TEMPFAIL).
constexpr int kExitBusy = 75;

// Forms and the instance guard go before the application object, however
// the procedure ends.
struct TUiShutdownGuard {
    ~TUiShutdownGuard() { TUi::Shutdown(); }
};

int RunMessageLoop(TClientApplication& aApp)
{
    TPool::DoProc([] {
        TUi::Init();
        TUi::CreateForms();
    });
    TLog::O(lolInfo, "设置程序标题 %s", {TUi::kApplicationTitle});
    int loopResult = 0;
    {
        TTerminationSignals termination;
        loopResult = aApp.exec();
    }
    if (auto error = aApp.TakePendingError())
        std::rethrow_exception(error);
    TLog::O(lolInfo, "程序运行循环执行后 反初始化");
    TPool::DoProc([] {
        TUi::UnInit();
        TUi::Shutdown();
    });
    TPool::DoProc([] { TBusiness::UnInit(); });
    return loopResult;
}

int RunApplication(int& argc, char** argv)
{
    TLog::O(lolInfo, "程序初始化(应用、应用标题和应用风格等)");
    // Mail is shown by the web engine, which must be prepared before the
    // application object exists.
    PrepareHtmlEngine();
    TClientApplication app(argc, argv);
    QCoreApplication::setApplicationName("Quillmar");
    QGuiApplication::setDesktopFileName("quillmar");
    TUiShutdownGuard uiGuard;

    TLog::O(lolInfo, "程序检测是否已经有实例在运行");
    if (!TUi::IsFirstInstance()) {
        TLog::O(lolInfo, "程序检测到已经有实例在运行，显示之");
        if (!TUi::ShowPrevInstance()) {
            // Two programs on one data folder could send a mail twice.
            const std::string holder = TInstanceLock::Holder();
            const std::string text = "Quillmar 的数据正被另一个程序使用" +
                                     (holder.empty() ? std::string() : "（" + holder + "）") +
                                     "，客户端不能启动；请等它结束后再试。";
            TLog::O(lolWorn, text);
            std::fprintf(stderr, "%s\n", text.c_str());
            TLog::O(lolInfo, "程序结束");
            return kExitBusy;
        }
        TLog::O(lolInfo, "程序结束");
        return 0;
    }

    TLog::O(lolInfo, "程序运行循环执行前 初始化");
    if (FindCmdLineSwitch(ProcessArguments(), "ClearAllData")) {
        TLog::O(lolInfo, "程序检测到命令行参数 \"ClearAllData\"");
        TBusiness::ClearDataPathAllData();
        TLog::O(lolInfo, "程序结束");
        return 0;
    }

    TPool::DoProc([] { TBusiness::Init(); });
    // The skin layer's texts (button captions…) come from the configuration
    // while it is there; a key without a text reads as itself.
    SetMessageTextProvider([](const std::string& aKey) {
        const TConfigManager* config = TConfigManager::ConfigManager();
        const std::string text = config ? config->GetMsg(aKey) : std::string();
        return text.empty() ? aKey : text;
    });
    try {
        return RunMessageLoop(app);
    } catch (const ENoSupportDataVersion& e) {
        TLog::O(lolError, "数据版本不支持：%s", {e.what()});
        bool clear = false;
        TPool::DoProc([&] {
            TUi::Shutdown();
            clear = TBusiness::ApplicationExitNeedClearAllData();
            TBusiness::UnInit();
        });
        if (clear) {
            TLog::O(lolInfo, "程序退出时需要清除所有数据");
            TBusiness::ClearDataPathAllData();
        }
        return 1;
    } catch (...) {
        // Nothing leaves with the business layer (and its threads) still up.
        if (TBusiness::Initialized()) {
            TUi::Shutdown();
            try {
                TPool::DoProc([] { TBusiness::UnInit(); });
            } catch (const std::exception& e) {
                TLog::O(lolError, "业务层反初始化失败：%s", {e.what()});
            }
        }
        throw;
    }
}

} // namespace

int RunClient(int& argc, char** argv)
{
    TLog::O(lolInfo, "程序启动");
    int exitCode = 0;
    TPool::DoProc([&] { exitCode = RunApplication(argc, argv); });
    TLog::O(lolInfo, "程序结束");
    return exitCode;
}
