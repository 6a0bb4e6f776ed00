#include "TemplateManager.h"

#include "Business/Data/ConfigManager.h"
#include "Business/Data/Databases.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Resource/ResPathCheck.h"
#include "Runtime/Log.h"
#include "StationeryFiles.h"
#include "StationeryPaths.h"

#include <charconv>

namespace fs = std::filesystem;

namespace {

TRcResId* RootId()
{
    return TRcResId::CreateAndAutoRelease(rtTemplateFolder, TTemplateManager::kRootFolderId);
}

bool IsRootId(const TRcResId* aId)
{
    return aId && aId->IsType(rtTemplateFolder) && aId->Id() == TTemplateManager::kRootFolderId;
}

std::optional<int> KindNumber(const std::string& aText)
{
    int value = 0;
    const char* end = aText.data() + aText.size();
    const auto [ptr, ec] = std::from_chars(aText.data(), end, value);
    if (ec != std::errc() || ptr != end || aText.empty())
        return std::nullopt;
    return value;
}

} // namespace

TTemplateManager::TTemplateManager() : FObservable(MakeRc<TRcTemplateObservable>()) {}

TTemplateManager::~TTemplateManager() = default;

fs::path TTemplateManager::UserFolder() const
{
    return StationeryDataFolder() / "Templates";
}

fs::path TTemplateManager::SystemFolder() const
{
    return StationeryProgramFolder() / "SysTemplates";
}

void TTemplateManager::Init()
{
    FSysDb = OpenSystemDatabase(StationeryProgramFolder(), "SysTemplates", "Templates.db");
    FDb = OpenTemplatesDatabase(StationeryDataFolder());
}

void TTemplateManager::UnInit()
{
    FSysDb.reset();
    FDb.reset();
}

void TTemplateManager::InitForDataUpdate()
{
    FDb = OpenTemplatesDatabase(StationeryDataFolder());
}

void TTemplateManager::UnInitForDataUpdate()
{
    FDb.reset();
}

int TTemplateManager::RealDataVersion()
{
    return FDb ? static_cast<int>(FDb->UserVersion()) : 0;
}

void TTemplateManager::DataUpdate(const std::function<void(TSQLiteDatabase&)>& aProc)
{
    if (!aProc)
        throw Exception(kNoUpgradeProc);
    if (FDb)
        aProc(*FDb);
}

std::vector<std::pair<int, std::string>> TTemplateManager::TemplateKinds() const
{
    std::vector<std::pair<int, std::string>> kinds;
    const TConfigManager* config = TConfigManager::ConfigManager();
    if (!config)
        return kinds;
    for (const std::string& line : config->TemplateList()) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const auto number = KindNumber(line.substr(0, equals));
        if (number)
            kinds.emplace_back(*number, line.substr(equals + 1));
    }
    return kinds;
}

bool TTemplateManager::IsKnownKind(const std::string& aKindId, int* aKind) const
{
    const auto number = KindNumber(aKindId);
    if (!number)
        return false;
    for (const auto& kind : TemplateKinds())
        if (kind.first == *number) {
            if (aKind)
                *aKind = kind.first;
            return true;
        }
    return false;
}

TRcResPath* TTemplateManager::GetTemplateRootFolder()
{
    return TRcResPath::CreateAndAutoRelease({RootId()});
}

TRcResIdList* TTemplateManager::GetTemplateFolders(TRcResPath* aResPath)
{
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    if (IsEmptyResPath(aResPath)) {
        ids->Add(RootId());
        return ids;
    }
    if (aResPath->Count() != 1 || !IsRootId(aResPath->At(0)))
        return nullptr;
    for (const auto& kind : TemplateKinds())
        ids->Add(TRcResId::CreateAndAutoRelease(rtTemplateFolder, std::to_string(kind.first)));
    return ids;
}

std::string TTemplateManager::GetTemplateFolderCaption(const TRcResId* aResId)
{
    if (!aResId || !aResId->IsType(rtTemplateFolder))
        return {};
    if (IsRootId(aResId)) {
        const TConfigManager* config = TConfigManager::ConfigManager();
        return config ? config->GetMsg("TemplateFolder") : std::string();
    }
    const auto number = KindNumber(aResId->Id());
    if (number)
        for (const auto& kind : TemplateKinds())
            if (kind.first == *number)
                return kind.second;
    return {};
}

TRcResIdList* TTemplateManager::GetTemplates(TRcResPath* aResPath, int aLanguage)
{
    int kind = 0;
    if (!aResPath || aResPath->Count() != 2 || !IsRootId(aResPath->At(0)) || !aResPath->At(1)->IsType(rtTemplateFolder) ||
        !IsKnownKind(aResPath->At(1)->Id(), &kind))
        return nullptr;
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    if (FSysDb)
        TSqliteDbTemplate::AddIds(*FSysDb, kind, aLanguage, *ids);
    if (FDb)
        TSqliteDbTemplate::AddIds(*FDb, kind, aLanguage, *ids);
    return ids;
}

TRcTemplate* TTemplateManager::GetTemplate(TRcResPath* aResPath)
{
    if (!IsTemplateResPath(aResPath))
        return nullptr;
    const std::string& id = aResPath->Last()->Id();
    if (FSysDb)
        if (TRcTemplate* found = TSqliteDbTemplate::Load(*FSysDb, id, true))
            return found;
    return FDb ? TSqliteDbTemplate::Load(*FDb, id, false) : nullptr;
}

fs::path TTemplateManager::FetchTemplateFullFileName(const TRcTemplate* aTemplate, const std::string& aFileName)
{
    if (!aTemplate)
        return {};
    const std::string name = StationeryFileName(aFileName);
    const fs::path folder =
        StationeryItemFolder(aTemplate->FAppSystemFlag ? SystemFolder() : UserFolder(), aTemplate->Id());
    if (name.empty() || folder.empty())
        return {};
    return folder / name;
}

TRcTemplate* TTemplateManager::BuildTemplateInstance(TRcResPath* aResPath, const fs::path& aTargetFolder)
{
    TRcTemplate* found = GetTemplate(aResPath);
    if (!found)
        return nullptr;
    const fs::path source = StationeryItemFolder(found->FAppSystemFlag ? SystemFolder() : UserFolder(), found->Id());
    if (source.empty())
        return nullptr;
    CopyStationeryFolder(source, aTargetFolder);
    return found;
}

TRcTemplate* TTemplateManager::BuildTemplateInstanceForSubject(TRcResPath* aResPath, const std::string& aSubject,
                                                               fs::path& aFolder)
{
    aFolder.clear();
    TTempFileManager* temp = TTempFileManager::TempFileManager();
    if (!temp || !GetTemplate(aResPath))
        return nullptr;
    std::string name = aSubject;
    name.append(".template");
    const fs::path folder = temp->MakeTempDirectoryName(name, false);
    TRcTemplate* built = BuildTemplateInstance(aResPath, folder);
    if (built)
        aFolder = folder;
    return built;
}

TRcResPath* TTemplateManager::ImportTemplate(TRcResPath* aKindResPath, const std::string& aName, int aLanguage,
                                             const fs::path& aSourceFolder, const std::string& aIndexFileName,
                                             const std::string& aPreviewFileName)
{
    int kind = 0;
    if (!FDb || !aKindResPath || aKindResPath->Count() != 2 || !IsRootId(aKindResPath->At(0)) ||
        !IsKnownKind(aKindResPath->At(1)->Id(), &kind))
        return nullptr;
    if (aName.find_first_not_of(" \t\r\n") == std::string::npos)
        return nullptr;
    const std::string index = StationeryFileName(aIndexFileName);
    const std::string preview = StationeryFileName(aPreviewFileName);
    std::error_code ec;
    if (index.empty() || preview.empty() || !fs::is_directory(aSourceFolder, ec) ||
        !fs::is_regular_file(aSourceFolder / index, ec) || !fs::is_regular_file(aSourceFolder / preview, ec))
        return nullptr;

    TRcRef<TRcTemplate> made = TRcTemplate::CreateEmptyTemplate();
    made->FName = aName;
    made->FLanguage = aLanguage;
    made->FIndexFileName = index;
    made->FPreviewFileName = preview;
    const fs::path folder = StationeryItemFolder(UserFolder(), made->Id());
    // The files are in place and synced before the row names them.
    try {
        CopyStationeryFolder(aSourceFolder, folder);
        TSqliteDbTemplate::Save(*FDb, *made, kind);
    } catch (...) {
        RemoveStationeryItemFolder(UserFolder(), made->Id());
        throw;
    }
    FObservable->NotifyChanged(aKindResPath);
    return aKindResPath->Append(made->FResId.Get());
}

void TTemplateManager::DeleteTemplate(TRcResPath* aResPath)
{
    if (!FDb || !IsTemplateResPath(aResPath))
        return;
    const std::string id = aResPath->Last()->Id();
    const int result = TSqliteDbTemplate::Delete(*FDb, id);
    if (result == 1 || result == 2)
        return;
    if (result != 0)
        throw Exception(kDeleteFailed);
    RemoveStationeryItemFolder(UserFolder(), id);
    FObservable->NotifyChanged(aResPath->ParentPath());
}
