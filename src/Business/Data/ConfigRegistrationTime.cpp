// Asking the maker's platform when an address was registered there.
#include "ConfigManager.h"

#include "EncryDes.h"
#include "Business/Http/HttpJsonReply.h"
#include "Business/Http/HttpRequest.h"
#include "Runtime/Log.h"
#include "Runtime/RunableCancelList.h"

#include <cstdio>
#include <optional>

namespace {

// "yyyy-MM-dd hh:mm:ss.zzz", the time and the milliseconds optional.
std::optional<TDateTime> ParseRegistrationTime(const std::string& aText)
{
    TDateTimeParts p;
    char rest[8] = {};
    const int fields = std::sscanf(aText.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d%7s", &p.Year, &p.Month, &p.Day, &p.Hour,
                                   &p.Minute, &p.Second, &p.Millisecond, rest);
    if (!(fields == 3 || fields == 6 || fields == 7))
        return std::nullopt;
    if (p.Month < 1 || p.Month > 12 || p.Day < 1 || p.Day > 31 || p.Hour > 23 || p.Minute > 59 || p.Second > 59 ||
        p.Hour < 0 || p.Minute < 0 || p.Second < 0 || p.Millisecond < 0)
        return std::nullopt;
    return EncodeDateTime(p);
}

} // namespace

TDateTime TConfigManager::GetEmailTavroREGDateTime(const std::string& aEmail, const std::string& aPwd,
                                                   std::string& aError, TRunableCancelList* aCancelList) const
{
    return GetEmailTavroREGDateTime(aEmail, aPwd, aError, aCancelList, THttpOptions{});
}

TDateTime TConfigManager::GetEmailTavroREGDateTime(const std::string& aEmail, const std::string& aPwd,
                                                   std::string& aError, TRunableCancelList* aCancelList,
                                                   const THttpOptions& aOptions) const
{
    const TDateTime before = Now();
    aError.clear();
    if (FNorvelServerUrl.empty()) {
        aError = kServiceOff;
        return before;
    }
    std::string password;
    try {
        password = EncryDes(aPwd);
    } catch (const std::exception& e) {
        aError = e.what();
        return before;
    }
    auto http = MakeRc<THttpRequest>(aOptions);
    const TRunableCancelRegistration registration(aCancelList, http.Get());
    const THttpResult result =
        http->PostForm(FNorvelServerUrl + "mailOprAction!getUserRegistrTime.action",
                       {THttpField::Plain("user_email", aEmail), THttpField::Plain("user_password", password)});
    if (!result.Ok)
        TLog::O(lolWorn, "注册时间查询失败：%s", {result.Error});
    // A failed request leaves no reply: that reads as "not JSON" below.
    const THttpJsonReply reply = THttpJsonReply::Parse(result.Ok ? result.Body : std::string());
    if (!reply.IsJson()) {
        aError = GetMsg("TavroServerError");
        return before;
    }
    const std::string info = reply.InfoText();
    if (reply.ResultBool()) {
        if (auto time = ParseRegistrationTime(info))
            return *time;
        aError = "注册时间的格式不正确：" + info;
        return before;
    }
    // A key of the message texts, or else the platform's own words.
    aError = HasMsg(info) ? GetMsg(info) : info;
    if (aError.empty())
        aError = GetMsg("TavroServerError");
    return before;
}
