// The one entry point to letters. Paths: the letter folder [folder], a
// letter [folder, letter]. The system set (beside the program, read only)
// is listed and looked up before the user's set in the data folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "Business/Data/SqliteDatabase.h"
#include "Letter.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"

class ILetterObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    // Letters were added or removed under aResPath (the letter folder).
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

class TRcLetterObservable : public TRcObservable<ILetterObserver> {
public:
    void NotifyContentChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](ILetterObserver& aObserver) { aObserver.OnContentChanged(aResPath); });
    }
    void NotifyChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](ILetterObserver& aObserver) { aObserver.OnChanged(aResPath); });
    }
};

class TLetterManager : public TSingletonOf<TLetterManager> {
public:
    static constexpr const char* kFolderId = "435F1D2169C6400DB236A28A67828718";
    static constexpr const char* kFolderCaption = "信纸文件夹";

    TLetterManager();
    ~TLetterManager() override;
    static TLetterManager* LetterManager() { return Instance(); }

    void Init();
    void UnInit();

    void RegisterObserver(ILetterObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(ILetterObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    TRcResPath* GetLetterRootFolder();
    // The letter folder for the empty path; nullptr otherwise.
    TRcResIdList* GetLetterFolders(TRcResPath* aResPath);
    std::string GetLetterFolderCaption(const TRcResId* aResId);
    // System letters first; nullptr unless aResPath is [folder].
    TRcResIdList* GetLetters(TRcResPath* aResPath);
    // Autoreleased; nullptr when neither set holds it.
    TRcLetter* GetLetter(TRcResPath* aResPath);
    // A system letter's picture in the system folder, a user letter's in
    // its own folder of the user's set; "" when an argument is missing,
    // the id cannot name a folder or the name is not one plain file name.
    std::filesystem::path FetchLetterFullFileName(const TRcLetter* aLetter, const std::string& aFileName);
    // Copies the picture aSourceFolder / aFileName into a new letter's
    // folder and saves the record; the new path, or nullptr when refused.
    TRcResPath* ImportLetter(TRcResPath* aFolderResPath, const std::string& aName,
                             const std::filesystem::path& aSourceFolder, const std::string& aFileName);
    // A user letter's row, then its folder; system letters stay.
    void DeleteLetter(TRcResPath* aResPath);

    std::filesystem::path UserFolder() const;
    std::filesystem::path SystemFolder() const;

private:
    TRcRef<TRcLetterObservable> FObservable;
    std::unique_ptr<TSQLiteDatabase> FDb;
    std::unique_ptr<TSQLiteDatabase> FSysDb;
};
