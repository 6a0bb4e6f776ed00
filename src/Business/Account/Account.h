// TRcAccount: one mailbox the user works with, and its settings.
//
// A record is shared by the GUI thread and the scheduler thread, so every
// setting is read and written under the record's own lock; the settings as
// a whole can be taken or replaced at once.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "Business/Resource/ResId.h"
#include "TlsMode.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcRef.h"

enum TReceiveMailMode { rmmAll = 0, rmmForeign = 1 };

struct TAccountSettings {
    std::string FName;
    std::string FEmail;
    std::string FPop3Host;
    int FPop3Port = 110;
    std::string FPop3User;
    std::string FPop3Password;
    bool FPop3UseSsl = false;
    std::string FSmtpHost;
    int FSmtpPort = 25;
    std::string FSmtpUser;
    std::string FSmtpPassword;
    bool FSmtpUsePop3 = true;
    bool FSmtpUseSsl = false;
    int FAutoReveiveSendInterval = 10;
    bool FAutoReveiveSend = true;
    TDateTime FAutoReveiveEarliestDate = -657434;   // 1 January of the year 100
    bool FUseSign = false;
    std::string FNickname;
    std::string FIcon;
    std::string FSignName;
    std::string FSignature;
    TReceiveMailMode FReceiveMailType = rmmAll;
    // Chosen TLS modes; empty means the port rule of DefaultTlsMode, so an
    // account keeps following its SSL switch and port until someone picks
    // a mode for it.
    std::optional<TTlsMode> FPop3TlsMode;
    std::optional<TTlsMode> FSmtpTlsMode;
    // Accept a certificate that does not verify (old servers with
    // self-signed certificates); off unless the user opts in.
    bool FAcceptUntrustedCertificate = false;

    // The mode a connection uses: the chosen one, else the port rule.
    TTlsMode EffectivePop3TlsMode() const
    {
        return FPop3TlsMode.value_or(DefaultTlsMode(mpPop3, FPop3UseSsl, FPop3Port));
    }
    TTlsMode EffectiveSmtpTlsMode() const
    {
        return FSmtpTlsMode.value_or(DefaultTlsMode(mpSmtp, FSmtpUseSsl, FSmtpPort));
    }
};

#define QM_ACCOUNT_SETTING(Type, Name)                      \
    Type Name() const                                       \
    {                                                       \
        std::lock_guard lock(FSettingsMutex);               \
        return FSettings.F##Name;                           \
    }                                                       \
    void Set##Name(const Type& aValue)                      \
    {                                                       \
        std::lock_guard lock(FSettingsMutex);               \
        FSettings.F##Name = aValue;                         \
    }

class TRcAccount : public TRcObject {
public:
    // Where a changed receive mode is reported: the maker's platform,
    // through the server driver between its Init and UnInit; nowhere
    // otherwise.
    using TReceiveModeReporter = std::function<void(const std::string& aEmail, const std::string& aMode)>;
    static void SetReceiveModeReporter(TReceiveModeReporter aReporter);

    TRcAccount() = delete;   // accounts are made with their identity

    TRcResId* ResId() const { return FResId.Get(); }
    const std::string& Id() const { return FResId->Id(); }

    QM_ACCOUNT_SETTING(std::string, Name)
    QM_ACCOUNT_SETTING(std::string, Email)
    QM_ACCOUNT_SETTING(std::string, Pop3Host)
    QM_ACCOUNT_SETTING(int, Pop3Port)
    QM_ACCOUNT_SETTING(std::string, Pop3User)
    QM_ACCOUNT_SETTING(std::string, Pop3Password)
    QM_ACCOUNT_SETTING(bool, Pop3UseSsl)
    QM_ACCOUNT_SETTING(std::string, SmtpHost)
    QM_ACCOUNT_SETTING(int, SmtpPort)
    QM_ACCOUNT_SETTING(std::string, SmtpUser)
    QM_ACCOUNT_SETTING(std::string, SmtpPassword)
    QM_ACCOUNT_SETTING(bool, SmtpUsePop3)
    QM_ACCOUNT_SETTING(bool, SmtpUseSsl)
    QM_ACCOUNT_SETTING(int, AutoReveiveSendInterval)
    QM_ACCOUNT_SETTING(bool, AutoReveiveSend)
    QM_ACCOUNT_SETTING(TDateTime, AutoReveiveEarliestDate)
    QM_ACCOUNT_SETTING(bool, UseSign)
    QM_ACCOUNT_SETTING(std::string, Nickname)
    QM_ACCOUNT_SETTING(std::string, Icon)
    QM_ACCOUNT_SETTING(std::string, SignName)
    QM_ACCOUNT_SETTING(std::string, Signature)
    QM_ACCOUNT_SETTING(std::optional<TTlsMode>, Pop3TlsMode)
    QM_ACCOUNT_SETTING(std::optional<TTlsMode>, SmtpTlsMode)
    QM_ACCOUNT_SETTING(bool, AcceptUntrustedCertificate)

    TReceiveMailMode ReceiveMailType() const;
    // Stores the mode and reports it ("0" all, "1" foreign) with the
    // account's address.
    void SetReceiveMailType(TReceiveMailMode aValue);

    TAccountSettings Settings() const;
    void SetSettings(const TAccountSettings& aSettings);

    // The name, or "<id: ID>" when it has none.
    std::string ToString() const override;

protected:
    explicit TRcAccount(const std::string& aId);

    mutable std::mutex FSettingsMutex;
    TAccountSettings FSettings;

private:
    const TRcRef<TRcResId> FResId;
};

#undef QM_ACCOUNT_SETTING
