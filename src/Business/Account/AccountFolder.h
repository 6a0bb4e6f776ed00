// The fixed mail folders every account has. They are not stored: each has
// a fixed identifier, and a mail keeps its folder as the code of its type.
#pragma once

#include <optional>
#include <string>

#include "Business/Resource/ResPath.h"
#include "Runtime/Observable.h"
#include "Runtime/RcRef.h"
#include "Runtime/Singleton.h"

enum TAccountFolderType {
    aftReceiving,
    aftSending,
    aftInBox,
    aftDraft,
    aftOutBox,
    aftThrashBag,
    aftNorvelBox,
    aftAll,
};

class TRcAccountFolder : public TRcObject {
public:
    TRcAccountFolder() = delete;   // folders are made with their identity
    TRcAccountFolder(TRcResId* aResId, std::string aName, TAccountFolderType aType, bool aVisiable)
        : FResId(TRcRef<TRcResId>::Retain(aResId)), FName(std::move(aName)), FTyp(aType), FVisiable(aVisiable) {}

    TRcResId* ResId() const { return FResId.Get(); }
    const std::string& Name() const { return FName; }
    TAccountFolderType Typ() const { return FTyp; }
    bool Visiable() const { return FVisiable; }
    // The name, or "<id: ID>" when it has none.
    std::string ToString() const override;

private:
    TRcRef<TRcResId> FResId;
    std::string FName;
    TAccountFolderType FTyp;
    bool FVisiable;
};

class IAccountFolderObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TRcResPath* aFolderPath) = 0;
    virtual void OnChanged(TRcResPath* aParentPath) = 0;
};

// Folders never change, so nothing is ever sent; the observable is there
// for the screens that listen to every domain alike.
class TRcAccountFolderObservable : public TRcObservable<IAccountFolderObserver> {};

class TAccountFolderManager : public TSingletonOf<TAccountFolderManager> {
public:
    TAccountFolderManager();
    ~TAccountFolderManager() override;

    static TAccountFolderManager* AccountFolderManager() { return Instance(); }

    // The fixed identifier of a folder type; nullptr for aftAll.
    static TRcResId* FolderId(TAccountFolderType aType);

    // For a path ending in an account: receiving, inbox, drafts, sending,
    // out box and trash, in that order (autoreleased); nullptr otherwise.
    TRcResIdList* GetFolders(const TRcResPath* aResPath) const;
    std::optional<TAccountFolderType> GetFolderType(const TRcResPath* aResPath) const;
    // Autoreleased; nullptr for a path that is not a folder's.
    TRcAccountFolder* GetFolder(const TRcResPath* aResPath) const;
    // [account, folder] for a path that starts with an account
    // (autoreleased); nullptr for aftAll or another path.
    TRcResPath* GetStandardFolderResPath(const TRcResPath* aResPath, TAccountFolderType aType) const;

    void RegisterObserver(IAccountFolderObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnRegisterObserver(IAccountFolderObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

private:
    TRcRef<TRcAccountFolderObservable> FObservable;
};
