#include "ClientApplication.h"

#include "Business/Data/NoSupportDataVersion.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Log.h"

TClientApplication::TClientApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TClientApplication::notify(QObject* aReceiver, QEvent* aEvent)
{
    TRetainCountObjectAutoReleasePool pool;
    try {
        return QApplication::notify(aReceiver, aEvent);
    } catch (const ENoSupportDataVersion& e) {
        TLog::O(lolError, "数据版本不支持：%s", {e.what()});
        if (!FPendingError)
            FPendingError = std::current_exception();
        quit();
    } catch (const std::exception& e) {
        TLog::O(lolError, "消息处理异常：%s", {e.what()});
    } catch (...) {
        TLog::O(lolError, "消息处理异常：未知异常");
    }
    return false;
}

std::exception_ptr TClientApplication::TakePendingError()
{
    return std::exchange(FPendingError, nullptr);
}
