// quillmar: the mail client.
#include "EntrySequence.h"

#include "Runtime/CommandLine.h"
#include "Runtime/Log.h"

#include <exception>

int main(int argc, char** argv)
{
    SetProcessArguments(argc, argv);
    TLog::Start(ProcessArguments());
    int exitCode = 1;
    try {
        exitCode = RunClient(argc, argv);
    } catch (const std::exception& e) {
        TLog::O(lolError, "程序异常结束：%s", {e.what()});
    } catch (...) {
        TLog::O(lolError, "程序异常结束：未知异常");
    }
    TLog::Finish();
    return exitCode;
}
