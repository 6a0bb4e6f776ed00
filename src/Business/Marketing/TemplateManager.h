// The one entry point to stationery templates. Paths: the root folder
// [root], a kind [root, kind] (the kind number as id), a template
// [root, kind, template]. The system set (beside the program, read only)
// is listed and looked up before the user's set in the data folder.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Business/Data/SqliteDatabase.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"
#include "Template.h"

class ITemplateObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    // Templates were added or removed under aResPath (a kind).
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

class TRcTemplateObservable : public TRcObservable<ITemplateObserver> {
public:
    void NotifyContentChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](ITemplateObserver& aObserver) { aObserver.OnContentChanged(aResPath); });
    }
    void NotifyChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](ITemplateObserver& aObserver) { aObserver.OnChanged(aResPath); });
    }
};

class TTemplateManager : public TSingletonOf<TTemplateManager> {
public:
    static constexpr const char* kRootFolderId = "DB0BEDE1F1AA4724B21D8D20F38D4DE0";
    static constexpr const char* kDeleteFailed = "删除模板不成功";
    static constexpr const char* kNoUpgradeProc = "数据升级失败，升级匿名函数没有提供";
    static constexpr int kDataVersion = 1;

    TTemplateManager();
    ~TTemplateManager() override;
    static TTemplateManager* TemplateManager() { return Instance(); }

    // Opens the system set (when its version is ours) and the user's set,
    // made when missing.
    void Init();
    void UnInit();
    void InitForDataUpdate();
    void UnInitForDataUpdate();
    int DataVersion() const { return kDataVersion; }
    int RealDataVersion();
    void DataUpdate(const std::function<void(TSQLiteDatabase&)>& aProc);

    void RegisterObserver(ITemplateObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(ITemplateObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    TRcResPath* GetTemplateRootFolder();
    // The root alone for the empty path, the configured kinds for the
    // root; nullptr otherwise.
    TRcResIdList* GetTemplateFolders(TRcResPath* aResPath);
    std::string GetTemplateFolderCaption(const TRcResId* aResId);
    // The kinds from the configuration, in its order: number and caption.
    std::vector<std::pair<int, std::string>> TemplateKinds() const;

    // System templates first; nullptr unless aResPath is [root, known kind].
    TRcResIdList* GetTemplates(TRcResPath* aResPath, int aLanguage);
    // Autoreleased; nullptr when neither set holds it.
    TRcTemplate* GetTemplate(TRcResPath* aResPath);
    // The file inside the template's folder; "" when an argument is
    // missing, the id cannot name a folder or the name is not one plain
    // file name.
    std::filesystem::path FetchTemplateFullFileName(const TRcTemplate* aTemplate, const std::string& aFileName);
    // Copies the template's folder into aTargetFolder; the template, or
    // nullptr when there is none.
    TRcTemplate* BuildTemplateInstance(TRcResPath* aResPath, const std::filesystem::path& aTargetFolder);
    // A new mail's copy of the template: a fresh folder in this run's temp
    // folder named after the subject (through the safe-name rule, so a
    // subject is never a path), filled by BuildTemplateInstance. The
    // folder in aFolder; nullptr when there is no template.
    TRcTemplate* BuildTemplateInstanceForSubject(TRcResPath* aResPath, const std::string& aSubject,
                                                 std::filesystem::path& aFolder);
    // Copies aSourceFolder (which must hold both files) into the user's set
    // and saves the record; the new path, or nullptr when refused.
    TRcResPath* ImportTemplate(TRcResPath* aKindResPath, const std::string& aName, int aLanguage,
                               const std::filesystem::path& aSourceFolder, const std::string& aIndexFileName,
                               const std::string& aPreviewFileName);
    // A user template's row, then its folder; system templates stay.
    void DeleteTemplate(TRcResPath* aResPath);

    // Where the sets lie.
    std::filesystem::path UserFolder() const;
    std::filesystem::path SystemFolder() const;

private:
    bool IsKnownKind(const std::string& aKindId, int* aKind = nullptr) const;
    TSQLiteDatabase* UserDb() const { return FDb.get(); }

    TRcRef<TRcTemplateObservable> FObservable;
    std::unique_ptr<TSQLiteDatabase> FDb;
    std::unique_ptr<TSQLiteDatabase> FSysDb;
};
