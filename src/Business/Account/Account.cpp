#include "Account.h"

#include "Runtime/TextFormat.h"

namespace {

std::mutex gReporterMutex;
TRcAccount::TReceiveModeReporter gReporter;

} // namespace

void TRcAccount::SetReceiveModeReporter(TReceiveModeReporter aReporter)
{
    std::lock_guard lock(gReporterMutex);
    gReporter = std::move(aReporter);
}

TRcAccount::TRcAccount(const std::string& aId)
    : FResId(TRcRef<TRcResId>::Adopt(TRcResId::Create(rtAccount, aId)))
{
}

TReceiveMailMode TRcAccount::ReceiveMailType() const
{
    std::lock_guard lock(FSettingsMutex);
    return FSettings.FReceiveMailType;
}

void TRcAccount::SetReceiveMailType(TReceiveMailMode aValue)
{
    std::string email;
    {
        std::lock_guard lock(FSettingsMutex);
        FSettings.FReceiveMailType = aValue;
        email = FSettings.FEmail;
    }
    TReceiveModeReporter reporter;
    {
        std::lock_guard lock(gReporterMutex);
        reporter = gReporter;
    }
    if (reporter)
        reporter(email, aValue == rmmForeign ? "1" : "0");
}

TAccountSettings TRcAccount::Settings() const
{
    std::lock_guard lock(FSettingsMutex);
    return FSettings;
}

void TRcAccount::SetSettings(const TAccountSettings& aSettings)
{
    std::lock_guard lock(FSettingsMutex);
    FSettings = aSettings;
}

std::string TRcAccount::ToString() const
{
    const std::string name = Name();
    return name.empty() ? FormatText("<id: %s>", {FResId->Id()}) : name;
}
