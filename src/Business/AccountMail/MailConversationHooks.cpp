#include "MailConversationHooks.h"

#include "Business/Resource/ResPath.h"
#include "Runtime/Log.h"

#include <atomic>
#include <exception>

namespace {

std::atomic<const TMailConversationHooks*> gHooks{nullptr};

template <class F>
void Guarded(const char* aWhat, TRcResPath* aPath, F&& aCall) noexcept
{
    try {
        aCall();
    } catch (const std::exception& e) {
        try {
            TLog::O(lolWorn, "会话索引没有更新（%s %s）：%s", {aWhat, aPath ? aPath->ToString() : std::string(), e.what()});
        } catch (...) {
        }
    } catch (...) {
    }
}

} // namespace

void InstallMailConversationHooks(const TMailConversationHooks* aHooks)
{
    gHooks.store(aHooks);
}

void MailKeptForConversations(TRcResPath* aMailResPath, TRcMail* aMail) noexcept
{
    const TMailConversationHooks* hooks = gHooks.load();
    if (hooks && hooks->MailKept)
        Guarded("kept", aMailResPath, [&] { hooks->MailKept(aMailResPath, aMail); });
}

void MailGoneForConversations(TRcResPath* aMailResPath) noexcept
{
    const TMailConversationHooks* hooks = gHooks.load();
    if (hooks && hooks->MailGone)
        Guarded("gone", aMailResPath, [&] { hooks->MailGone(aMailResPath); });
}

std::string ConversationItemMailId(TRcResPath* aItemResPath)
{
    const TMailConversationHooks* hooks = gHooks.load();
    return hooks && hooks->ItemMailId ? hooks->ItemMailId(aItemResPath) : std::string();
}
