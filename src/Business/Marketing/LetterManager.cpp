#include "LetterManager.h"

#include "Business/Data/Databases.h"
#include "Business/Resource/ResPathCheck.h"
#include "Runtime/FileSync.h"
#include "StationeryFiles.h"
#include "StationeryPaths.h"

namespace fs = std::filesystem;

namespace {

TRcResId* FolderId()
{
    return TRcResId::CreateAndAutoRelease(rtLetterFolder, TLetterManager::kFolderId);
}

bool IsFolderPath(const TRcResPath* aResPath)
{
    return aResPath && aResPath->Count() == 1 && aResPath->At(0)->IsType(rtLetterFolder) &&
           aResPath->At(0)->Id() == TLetterManager::kFolderId;
}

} // namespace

TLetterManager::TLetterManager() : FObservable(MakeRc<TRcLetterObservable>()) {}

TLetterManager::~TLetterManager() = default;

fs::path TLetterManager::UserFolder() const
{
    return StationeryDataFolder() / "Letter";
}

fs::path TLetterManager::SystemFolder() const
{
    return StationeryProgramFolder() / "SysLetter";
}

void TLetterManager::Init()
{
    FSysDb = OpenSystemDatabase(StationeryProgramFolder(), "SysLetter", "Letter.db");
    FDb = OpenLetterDatabase(StationeryDataFolder());
}

void TLetterManager::UnInit()
{
    FSysDb.reset();
    FDb.reset();
}

TRcResPath* TLetterManager::GetLetterRootFolder()
{
    return TRcResPath::CreateAndAutoRelease({FolderId()});
}

TRcResIdList* TLetterManager::GetLetterFolders(TRcResPath* aResPath)
{
    if (!IsEmptyResPath(aResPath))
        return nullptr;
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    ids->Add(FolderId());
    return ids;
}

std::string TLetterManager::GetLetterFolderCaption(const TRcResId* aResId)
{
    if (aResId && aResId->IsType(rtLetterFolder) && aResId->Id() == kFolderId)
        return kFolderCaption;
    return {};
}

TRcResIdList* TLetterManager::GetLetters(TRcResPath* aResPath)
{
    if (!IsFolderPath(aResPath))
        return nullptr;
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    if (FSysDb)
        TSqliteDbLetter::AddIds(*FSysDb, *ids);
    if (FDb)
        TSqliteDbLetter::AddIds(*FDb, *ids);
    return ids;
}

TRcLetter* TLetterManager::GetLetter(TRcResPath* aResPath)
{
    if (!IsLetterResPath(aResPath) || !IsFolderPath(aResPath->ParentPath()))
        return nullptr;
    const std::string& id = aResPath->Last()->Id();
    if (FSysDb)
        if (TRcLetter* found = TSqliteDbLetter::Load(*FSysDb, id, true))
            return found;
    return FDb ? TSqliteDbLetter::Load(*FDb, id, false) : nullptr;
}

fs::path TLetterManager::FetchLetterFullFileName(const TRcLetter* aLetter, const std::string& aFileName)
{
    if (!aLetter)
        return {};
    const std::string name = StationeryFileName(aFileName);
    if (name.empty())
        return {};
    if (aLetter->FAppSystemFlag)
        return SystemFolder() / name;
    const fs::path folder = StationeryItemFolder(UserFolder(), aLetter->Id());
    return folder.empty() ? fs::path() : folder / name;
}

TRcResPath* TLetterManager::ImportLetter(TRcResPath* aFolderResPath, const std::string& aName,
                                         const fs::path& aSourceFolder, const std::string& aFileName)
{
    if (!FDb || !IsFolderPath(aFolderResPath) || aName.find_first_not_of(" \t\r\n") == std::string::npos)
        return nullptr;
    const std::string name = StationeryFileName(aFileName);
    std::error_code ec;
    if (name.empty() || !fs::is_regular_file(aSourceFolder / name, ec))
        return nullptr;
    TRcRef<TRcLetter> made = TRcLetter::CreateEmptyLetter();
    made->FName = aName;
    made->FFileName = name;
    const fs::path folder = StationeryItemFolder(UserFolder(), made->Id());
    try {
        fs::create_directories(folder);
        fs::copy_file(aSourceFolder / name, folder / name, fs::copy_options::overwrite_existing);
        SyncFile(folder / name);
        SyncFolder(folder);
        TSqliteDbLetter::Save(*FDb, *made);
    } catch (...) {
        RemoveStationeryItemFolder(UserFolder(), made->Id());
        throw;
    }
    FObservable->NotifyChanged(aFolderResPath);
    return aFolderResPath->Append(made->FResId.Get());
}

void TLetterManager::DeleteLetter(TRcResPath* aResPath)
{
    if (!FDb || !IsLetterResPath(aResPath))
        return;
    const std::string id = aResPath->Last()->Id();
    if (!TSqliteDbLetter::Delete(*FDb, id))
        return;
    RemoveStationeryItemFolder(UserFolder(), id);
    FObservable->NotifyChanged(aResPath->ParentPath());
}
