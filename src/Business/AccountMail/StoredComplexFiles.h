// TStoredComplexFiles: the parts of one mail complex copied into the
// account's Mails/ folder (large ones zipped) and synced, but not yet named
// by any row. Until Keep() is called the files are removed again when the
// object goes, so a failed save leaves nothing behind; after a crash the
// start-up sweep removes them (no row names them).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TRcMailComplex;
class TSQLiteDatabase;

class TStoredComplexFiles {
public:
    struct TPart {
        std::string FileId;
        std::filesystem::path Stored;
        int Type = 0;
        int SortNumber = 0;
        std::string ContentId;
        std::string Name;
        bool NeedTranslate = false;
    };

    enum class TMode {
        // Each part copied and synced at once.
        CopyAndSync,
        // For many mails stored in a row (receiving): a part that is stored
        // as it is becomes a second name of its working file (a hard link,
        // a copy where the file system has none), and nothing is synced
        // until Sync(). Syncing a whole group of files one after another
        // costs about one journal commit, where syncing each as it is
        // written costs one each. The working files must not change
        // afterwards; the caller only reads and removes them.
        LinkAndSyncLater,
    };

    TStoredComplexFiles() = default;
    // Stores every working file of the complex (its header written first)
    // into aMailsPath under a fresh id. The folder itself is not synced:
    // the caller does that once before the rows are written.
    TStoredComplexFiles(const std::filesystem::path& aMailsPath, TRcMailComplex& aComplex,
                        TMode aMode = TMode::CopyAndSync);
    ~TStoredComplexFiles();
    TStoredComplexFiles(TStoredComplexFiles&& aOther) noexcept;
    TStoredComplexFiles& operator=(TStoredComplexFiles&& aOther) noexcept;
    TStoredComplexFiles(const TStoredComplexFiles&) = delete;
    TStoredComplexFiles& operator=(const TStoredComplexFiles&) = delete;

    const std::vector<TPart>& Parts() const { return FParts; }
    bool Promot() const { return FPromot; }
    // Makes every stored file durable (LinkAndSyncLater); raises
    // Exception when one cannot be.
    void Sync();
    // Time spent making the files durable (for the receive benchmark).
    double SyncSeconds() const { return FSyncSeconds; }

    // Inside the caller's transaction: the complex aId's old rows marked
    // deleted, these parts' rows inserted. True when a live complex with
    // that id existed before.
    bool WriteRows(TSQLiteDatabase& aDb, const std::string& aId) const;
    // The rows are committed: the files now belong to them.
    void Keep() noexcept { FParts.clear(); }

private:
    void Remove() noexcept;

    std::vector<TPart> FParts;
    bool FPromot = false;
    double FSyncSeconds = 0;
};
