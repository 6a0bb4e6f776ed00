#include "MailManagerSeams.h"

#include "Runtime/Log.h"

#include <atomic>
#include <exception>

namespace {

std::atomic<TMailContactSaver> gMailContactSaver{nullptr};

} // namespace

void SetMailContactSaver(TMailContactSaver aSaver)
{
    gMailContactSaver.store(aSaver);
}

void SaveMailContact(TRcResPath* aFolderResPath, TRcMail* aMail)
{
    const TMailContactSaver saver = gMailContactSaver.load();
    if (!saver)
        return;
    try {
        saver(aFolderResPath, aMail);
    } catch (const std::exception& e) {
        TLog::O(lolWorn, "邮件联系人没有存入地址簿：%s", {e.what()});
    }
}
