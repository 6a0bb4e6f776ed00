#include "Account.h"

#include "Runtime/AsciiText.h"
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

TTlsMode DefaultTlsMode(TMailProtocol aProtocol, bool aUseSsl, int aPort)
{
    if (!aUseSsl)
        return tlsmNone;
    const int implicitPort = aProtocol == mpPop3 ? 995 : 465;
    return aPort == implicitPort ? tlsmImplicit : tlsmStartTls;
}

namespace {

constexpr TTlsMode kTlsModes[] = {tlsmNone, tlsmImplicit, tlsmStartTls};

} // namespace

const char* TlsModeText(TTlsMode aMode)
{
    switch (aMode) {
    case tlsmImplicit: return "tlsmImplicit";
    case tlsmStartTls: return "tlsmStartTls";
    case tlsmNone: break;
    }
    return "tlsmNone";
}

bool TlsModeFromText(std::string_view aText, TTlsMode& aMode)
{
    for (TTlsMode mode : kTlsModes) {
        if (SameTextAscii(aText, TlsModeText(mode))) {
            aMode = mode;
            return true;
        }
    }
    return false;
}
