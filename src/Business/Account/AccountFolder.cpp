#include "AccountFolder.h"

#include "Business/Data/ConfigManager.h"
#include "Business/Resource/ResPathCheck.h"
#include "Runtime/TextFormat.h"

#include <array>

namespace {

struct TFolderInfo {
    TAccountFolderType Type;
    const char* Id;
    const char* Name;      // a literal name, or
    const char* NameKey;   // the key of its message text
    bool Visible;
};

constexpr std::array<TFolderInfo, 7> kFolders = {{
    {aftReceiving, "1F2F83BC9E014CD9A7F69A0FBA0BF983", "收信进行中", nullptr, false},
    {aftInBox, "05EE5B2A926342AFB4048AC59B43D89E", nullptr, "MailReceive", true},
    {aftDraft, "5B525F55DD38425E94752E091E94FB5D", nullptr, "MailDrafts", true},
    {aftSending, "97E5F5FF370D4AC7BA10C9B35CE3298C", nullptr, "MailSend", true},
    {aftOutBox, "8C6420C0B1304BA78AC2134A4B840060", nullptr, "MailSended", true},
    {aftThrashBag, "FCC4971724BE4ACE83C4F5971BCB979B", nullptr, "MailTrash", true},
    {aftNorvelBox, "9F97033B363047F79AC24EC900BE3D1F", "译后件", nullptr, false},
}};

// Listed folders, in list order; the translation box is not among them.
constexpr TAccountFolderType kListed[] = {aftReceiving, aftInBox, aftDraft, aftSending, aftOutBox, aftThrashBag};

const TFolderInfo* InfoOf(TAccountFolderType aType)
{
    for (const auto& info : kFolders)
        if (info.Type == aType)
            return &info;
    return nullptr;
}

// Made once for the whole run, never freed: immutable values shared by
// every thread.
TRcResId* const* FolderIds()
{
    static TRcResId* const ids[] = {
        TRcResId::Create(rtAccountMailFolder, kFolders[0].Id), TRcResId::Create(rtAccountMailFolder, kFolders[1].Id),
        TRcResId::Create(rtAccountMailFolder, kFolders[2].Id), TRcResId::Create(rtAccountMailFolder, kFolders[3].Id),
        TRcResId::Create(rtAccountMailFolder, kFolders[4].Id), TRcResId::Create(rtAccountMailFolder, kFolders[5].Id),
        TRcResId::Create(rtAccountMailFolder, kFolders[6].Id),
    };
    return ids;
}

std::string NameOf(const TFolderInfo& aInfo)
{
    if (aInfo.Name)
        return aInfo.Name;
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->GetMsg(aInfo.NameKey) : std::string();
}

} // namespace

std::string TRcAccountFolder::ToString() const
{
    return FName.empty() ? FormatText("<id: %s>", {FResId->Id()}) : FName;
}

TAccountFolderManager::TAccountFolderManager() : FObservable(MakeRc<TRcAccountFolderObservable>())
{
    FolderIds();
}

TAccountFolderManager::~TAccountFolderManager() = default;

TRcResId* TAccountFolderManager::FolderId(TAccountFolderType aType)
{
    for (std::size_t i = 0; i < kFolders.size(); ++i)
        if (kFolders[i].Type == aType)
            return FolderIds()[i];
    return nullptr;
}

TRcResIdList* TAccountFolderManager::GetFolders(const TRcResPath* aResPath) const
{
    if (!aResPath || !aResPath->Last() || !aResPath->Last()->IsType(rtAccount))
        return nullptr;
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    for (TAccountFolderType type : kListed)
        ids->Add(FolderId(type));
    return ids;
}

std::optional<TAccountFolderType> TAccountFolderManager::GetFolderType(const TRcResPath* aResPath) const
{
    const TRcResId* last = aResPath ? aResPath->Last() : nullptr;
    if (!last || !last->IsType(rtAccountMailFolder))
        return std::nullopt;
    for (const auto& info : kFolders)
        if (last->Id() == info.Id)
            return info.Type;
    return std::nullopt;
}

TRcAccountFolder* TAccountFolderManager::GetFolder(const TRcResPath* aResPath) const
{
    const auto type = GetFolderType(aResPath);
    if (!type)
        return nullptr;
    const TFolderInfo* info = InfoOf(*type);
    return RcCreateAndAutoRelease<TRcAccountFolder>(aResPath->Last(), NameOf(*info), *type, info->Visible);
}

TRcResPath* TAccountFolderManager::GetStandardFolderResPath(const TRcResPath* aResPath, TAccountFolderType aType) const
{
    TRcResId* folder = FolderId(aType);
    if (!folder || !IsAccountRootedResPath(aResPath))
        return nullptr;
    return TRcResPath::CreateAndAutoRelease({aResPath->At(0), folder});
}
