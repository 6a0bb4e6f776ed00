#include "AccountForSqlite.h"

#include "Business/Data/DataFolder.h"
#include "Business/Data/Schema.h"
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/AsciiText.h"
#include "Runtime/GuidId.h"
#include "Runtime/RcRef.h"

#include <cctype>
#include <cmath>

namespace {

constexpr const char* kRModeAll = "rmmAll";
constexpr const char* kRModeForeign = "rmmForeign";

enum class TKind { Text, Integer, Boolean, Day, Mode, Tls };

struct TInfoField {
    const char* Name;
    TKind Kind;
    std::string TAccountSettings::*Text = nullptr;
    int TAccountSettings::*Integer = nullptr;
    bool TAccountSettings::*Boolean = nullptr;
    std::optional<TTlsMode> TAccountSettings::*Tls = nullptr;
};

constexpr TInfoField Text(const char* aName, std::string TAccountSettings::*aField)
{
    return {aName, TKind::Text, aField, nullptr, nullptr};
}
constexpr TInfoField Integer(const char* aName, int TAccountSettings::*aField)
{
    return {aName, TKind::Integer, nullptr, aField, nullptr};
}
constexpr TInfoField Boolean(const char* aName, bool TAccountSettings::*aField)
{
    return {aName, TKind::Boolean, nullptr, nullptr, aField};
}
// A TLS mode that nobody chose has no row, so it keeps following the port
// rule; a stored text that names no mode reads the same way.
constexpr TInfoField Tls(const char* aName, std::optional<TTlsMode> TAccountSettings::*aField)
{
    return {aName, TKind::Tls, nullptr, nullptr, nullptr, aField};
}

// The rows of Info, in the order they are written.
const TInfoField kInfoFields[] = {
    Text("Name", &TAccountSettings::FName),
    Text("Email", &TAccountSettings::FEmail),
    Text("Pop3Host", &TAccountSettings::FPop3Host),
    Integer("Pop3Port", &TAccountSettings::FPop3Port),
    Text("Pop3User", &TAccountSettings::FPop3User),
    Text("Pop3Password", &TAccountSettings::FPop3Password),
    Boolean("Pop3UseSsl", &TAccountSettings::FPop3UseSsl),
    Text("SmtpHost", &TAccountSettings::FSmtpHost),
    Integer("SmtpPort", &TAccountSettings::FSmtpPort),
    Text("SmtpUser", &TAccountSettings::FSmtpUser),
    Text("SmtpPassword", &TAccountSettings::FSmtpPassword),
    Boolean("SmtpUsePop3", &TAccountSettings::FSmtpUsePop3),
    Boolean("SmtpUseSsl", &TAccountSettings::FSmtpUseSsl),
    Boolean("AutoReveiveSend", &TAccountSettings::FAutoReveiveSend),
    Integer("AutoReveiveSendInterval", &TAccountSettings::FAutoReveiveSendInterval),
    {"AutoReveiveEarliestDate", TKind::Day},
    Boolean("UseSign", &TAccountSettings::FUseSign),
    Text("Nickname", &TAccountSettings::FNickname),
    Text("Icon", &TAccountSettings::FIcon),
    Text("SignName", &TAccountSettings::FSignName),
    Text("Signature", &TAccountSettings::FSignature),
    {"ReceiveMailType", TKind::Mode},
    Tls("Pop3TlsMode", &TAccountSettings::FPop3TlsMode),
    Tls("SmtpTlsMode", &TAccountSettings::FSmtpTlsMode),
    Boolean("AcceptUntrustedCertificate", &TAccountSettings::FAcceptUntrustedCertificate),
};

} // namespace

TRcAccountForSqlite::TRcAccountForSqlite(const std::string& aId) : TRcAccount(aId)
{
    if (aId.empty())
        throw Exception(kEmptyId);
    if (!IsValidAccountId(aId))
        throw Exception("账户ID无效：" + aId);
    std::error_code ec;
    if (std::filesystem::exists(DbFileNameByResId(ResId()), ec)) {
        OpenDb();
        LoadFromDb();
    }
}

TRcAccountForSqlite::~TRcAccountForSqlite() = default;

bool TRcAccountForSqlite::IsValidAccountId(const std::string& aId)
{
    return IsGuidId(aId);
}

std::filesystem::path TRcAccountForSqlite::PathByResId(const TRcResId* aResId)
{
    if (!aResId || !IsValidAccountId(aResId->Id()))
        throw Exception("账户ID无效：" + (aResId ? aResId->Id() : std::string("nil")));
    return CurrentDataPath() / "Accounts" / aResId->Id();
}

std::filesystem::path TRcAccountForSqlite::DbFileNameByResId(const TRcResId* aResId)
{
    return PathByResId(aResId) / "Account.db";
}

void TRcAccountForSqlite::OpenDb()
{
    std::lock_guard lock(FDbMutex);
    if (FDb)
        throw Exception(kAlreadyOpen);
    const auto path = DbFileNameByResId(ResId());
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return;
    FDb = OpenAccountDatabase(path);
}

void TRcAccountForSqlite::CreateDb()
{
    std::lock_guard lock(FDbMutex);
    if (FDb)
        throw Exception(kAlreadyOpen);
    FDb = CreateAccountDatabase(DbFileNameByResId(ResId()));
}

void TRcAccountForSqlite::CloseDb()
{
    std::lock_guard lock(FDbMutex);
    if (!FDb)
        throw Exception(kNotOpen);
    FDb.reset();
}

TSQLiteDatabase* TRcAccountForSqlite::GetDb() const
{
    std::lock_guard lock(FDbMutex);
    return FDb.get();
}

TSQLiteDatabase& TRcAccountForSqlite::Db() const
{
    TSQLiteDatabase* db = GetDb();
    if (!db)
        throw Exception(kNotOpen);
    return *db;
}

void TRcAccountForSqlite::InitSignDb(TSQLiteDatabase& aDb)
{
    if (!aDb.TableExists("Sign"))
        aDb.ExecSQL(schema::kSign);
}

void TRcAccountForSqlite::LoadFromDb()
{
    TSQLiteDatabase& db = Db();
    TAccountSettings loaded;
    loaded.FSignature = Signature();   // kept: not reset by a load
    TSQLiteUniTable rows(db, "select [Field], [Value] from [Info]");
    for (; !rows.Eof(); rows.Next()) {
        const std::string field = rows.FieldAsString(0);
        for (const TInfoField& info : kInfoFields) {
            if (!SameTextAscii(info.Name, field))
                continue;
            switch (info.Kind) {
            case TKind::Text: loaded.*info.Text = rows.FieldAsString(1); break;
            case TKind::Integer: loaded.*info.Integer = static_cast<int>(rows.FieldAsInteger(1)); break;
            case TKind::Boolean: loaded.*info.Boolean = rows.FieldAsInteger(1) != 0; break;
            case TKind::Day: loaded.FAutoReveiveEarliestDate = std::trunc(rows.FieldAsDouble(1)); break;
            case TKind::Mode:
                loaded.FReceiveMailType = SameTextAscii(rows.FieldAsString(1), kRModeForeign) ? rmmForeign : rmmAll;
                break;
            case TKind::Tls: {
                TTlsMode mode;
                if (TlsModeFromText(rows.FieldAsString(1), mode))
                    loaded.*info.Tls = mode;
                break;
            }
            }
            break;
        }
    }
    SetSettings(loaded);
}

void TRcAccountForSqlite::SaveToDb()
{
    TSQLiteDatabase& db = Db();
    const TAccountSettings settings = Settings();
    TTransaction::Run(db, [&] {
        TSQLiteQueryEx replace(db, "replace into [Info]([Field], [Value]) values(?, ?)");
        TSQLiteQueryEx remove(db, "delete from [Info] where [Field] = ?");
        for (const TInfoField& info : kInfoFields) {
            if (info.Kind == TKind::Tls && !(settings.*info.Tls)) {
                remove.BindStr(1, info.Name);
                remove.Exec();
                continue;
            }
            replace.BindStr(1, info.Name);
            switch (info.Kind) {
            case TKind::Text: replace.BindStr(2, settings.*info.Text); break;
            case TKind::Integer: replace.BindInteger(2, settings.*info.Integer); break;
            case TKind::Boolean: replace.BindBoolean(2, settings.*info.Boolean); break;
            case TKind::Day: replace.BindDouble(2, settings.FAutoReveiveEarliestDate); break;
            case TKind::Mode: replace.BindStr(2, settings.FReceiveMailType == rmmForeign ? kRModeForeign : kRModeAll); break;
            case TKind::Tls: replace.BindStr(2, TlsModeText(*(settings.*info.Tls))); break;
            }
            replace.Exec();
        }
    });
}

TRcResIdList* TRcAccountForSqlite::GetSignIds()
{
    TSQLiteDatabase& db = Db();
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    TSQLiteUniTable rows(db, "select [Id] from [Sign]");
    for (; !rows.Eof(); rows.Next())
        if (IsGuidId(rows.FieldAsString(0)))
            ids->Add(TRcResId::CreateAndAutoRelease(rtSigin, rows.FieldAsString(0)));
    return ids;
}

TRcRef<TRcAccountSign> TRcAccountForSqlite::GetAccountSign(const TRcResPath* aResPath)
{
    TSQLiteDatabase& db = Db();
    if (!aResPath || !aResPath->Last())
        return nullptr;
    TSQLiteUniTable row(db, "select [Id],[SignName] from [Sign] where [Id]= ?");
    row.BindStr(1, aResPath->Last()->Id());
    if (row.Eof())
        return nullptr;
    const std::string id = row.FieldAsString(0);
    return MakeRc<TRcAccountSignForRawMail>(id, row.FieldAsString(1),
                                            AccountSignFileName(PathByResId(ResId()), id));
}

void TRcAccountForSqlite::SaveAccountSignToDb(const TRcAccountSign* aAccountSign)
{
    TSQLiteDatabase& db = Db();
    if (!aAccountSign)
        throw Exception("签名是 nil");
    const auto file = AccountSignFileName(PathByResId(ResId()), aAccountSign->ResId()->Id());
    // The folder first: a row never names a folder that could not be made.
    CreatePrivateFolder(file.parent_path());
    TTransaction::Run(db, [&] {
        db.ExecSQL("replace into [Sign](Id,SignName) values(?,?)", [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aAccountSign->ResId()->Id());
            q.BindStr(2, aAccountSign->FSignName);
        });
    });
}

void TRcAccountForSqlite::DeleteAccountSign(const TRcResPath* aResPath)
{
    TSQLiteDatabase& db = Db();
    if (!aResPath || !aResPath->Last())
        return;
    const std::string id = aResPath->Last()->Id();
    TTransaction::Run(db, [&] {
        db.ExecSQL("delete from  [Sign]where [id] = ?", [&](TSQLiteQueryEx& q) { q.BindStr(1, id); });
    });
    if (!IsGuidId(id))
        return;
    std::error_code ec;
    std::filesystem::remove_all(AccountSignFileName(PathByResId(ResId()), id).parent_path(), ec);
}
