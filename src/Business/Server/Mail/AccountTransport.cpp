#include "AccountTransport.h"

TTransportSettings Pop3TransportSettings(const TAccountSettings& aAccount)
{
    TTransportSettings settings;
    settings.Host = aAccount.FPop3Host;
    settings.Port = aAccount.FPop3Port;
    settings.TlsMode = aAccount.EffectivePop3TlsMode();
    settings.AcceptUntrustedCertificate = aAccount.FAcceptUntrustedCertificate;
    return settings;
}

TTransportSettings SmtpTransportSettings(const TAccountSettings& aAccount)
{
    TTransportSettings settings;
    settings.Host = aAccount.FSmtpHost;
    settings.Port = aAccount.FSmtpPort;
    settings.TlsMode = aAccount.EffectiveSmtpTlsMode();
    settings.AcceptUntrustedCertificate = aAccount.FAcceptUntrustedCertificate;
    return settings;
}
