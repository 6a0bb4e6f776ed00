// TTempFileManager: this run's private folder for temporary files,
// "Temp/(n)/" under the data folder, and unique names inside it.
//
// A run folder is locked for as long as its run lives; at start every run
// folder nobody holds is removed, so leftovers of a crashed run go and a
// tool running beside the client keeps its files.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "Runtime/FileHandle.h"
#include "Runtime/RcObject.h"
#include "Runtime/Singleton.h"

class TTempFileManager : public TSingletonOf<TTempFileManager> {
public:
    // In this run's data folder.
    TTempFileManager();
    explicit TTempFileManager(const std::filesystem::path& aDataFolder);
    // Removes the run folder with everything in it.
    ~TTempFileManager() override;

    static TTempFileManager* TempFileManager() { return Instance(); }

    const std::filesystem::path& TempFolder() const { return FTempFolder; }

    // A new empty file, or a new folder, in the run folder, named after
    // aName: characters not allowed in a file name become "_", a time
    // stamp "(mm-dd-hh-nn-ss-zzz)" goes before the extension when asked
    // for, "(n)" is added while the name is taken, and a name too long
    // (over 247 UTF-16 units as a path, or 255 bytes as a name) becomes
    // eight random characters. It is created here, exclusively, so two
    // threads never get the same name. Empty names mean "qmc.tmp" / "tmp".
    std::filesystem::path MakeTempFileName(const std::string& aName, bool aHaveTimeFlag);
    std::filesystem::path MakeTempDirectoryName(const std::string& aName, bool aHaveTimeFlag);

    // The name that MakeTempFileName would start from: SafeFileName, and
    // none of the characters other systems refuse in a name.
    static std::string CleanFileName(const std::string& aName);

private:
    std::filesystem::path MakeName(const std::string& aName, bool aHaveTimeFlag, bool aDirectory);

    std::filesystem::path FTempFolder;
    TFileHandle FLock;
};

// What code that builds messages gets instead of the manager.
class IMakeTempFileName : public virtual IRcInterface {
public:
    virtual std::filesystem::path GetTempFileName(const std::string& aBaseFileName, bool aWithTimeFlag) = 0;
};

class TSimpleMakeTempFilenameImpl : public TRcObject, public IMakeTempFileName {
public:
    std::filesystem::path GetTempFileName(const std::string& aBaseFileName, bool aWithTimeFlag) override;
};
