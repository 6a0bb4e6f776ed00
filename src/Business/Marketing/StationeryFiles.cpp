#include "StationeryFiles.h"

#include "Runtime/Errors.h"
#include "Runtime/FileSync.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"
#include "Runtime/SafeFileName.h"

namespace fs = std::filesystem;

fs::path StationeryItemFolder(const fs::path& aRoot, const std::string& aId)
{
    if (!IsGuidId(aId))
        return {};
    return aRoot / aId;
}

std::string StationeryFileName(const std::string& aFileName)
{
    if (aFileName.empty() || SafeFileName(aFileName, "") != aFileName)
        return {};
    return aFileName;
}

void CopyStationeryFolder(const fs::path& aSource, const fs::path& aTarget)
{
    fs::create_directories(aTarget);
    for (const fs::directory_entry& entry : fs::directory_iterator(aSource)) {
        const fs::file_status status = entry.symlink_status();
        const fs::path target = aTarget / entry.path().filename();
        if (fs::is_directory(status)) {
            CopyStationeryFolder(entry.path(), target);
        } else if (fs::is_regular_file(status)) {
            fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
            SyncFile(target);
        }
    }
    SyncFolder(aTarget);
}

void RemoveStationeryItemFolder(const fs::path& aRoot, const std::string& aId)
{
    const fs::path folder = StationeryItemFolder(aRoot, aId);
    if (folder.empty())
        return;
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (ec)
        TLog::O(lolWorn, "不能删除文件夹 %s：%s", {folder.string(), ec.message()});
}
