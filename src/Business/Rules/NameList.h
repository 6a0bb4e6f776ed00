// White and black name lists: rows of NameList in an account database,
// "W" for senders whose mail is always received, "B" for senders whose
// mail is never received. POP3 receiving asks the manager's cached lists,
// which Init loads for the account of the job about to run.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "Business/Resource/ResId.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/Observable.h"
#include "Runtime/RcList.h"
#include "Runtime/RcRef.h"
#include "Runtime/Singleton.h"

struct TAddressItem;
struct TPlatformContext;
class TSQLiteDatabase;
class TSQLiteUniTable;

enum TNameListType { nltBlack = 0, nltWhite = 1 };

// "B" or "W".
std::string NameTypeToString(TNameListType aType);
// "W" reads as white, anything else as black.
TNameListType NameTypeFromString(const std::string& aLetter);

class TRcNameList : public TRcObject {
public:
    TRcNameList() = delete;   // entries come from a row or as new ones
    // A new entry with a fresh id.
    explicit TRcNameList(TNameListType aType);
    // From a row of the store's select list: Id, UserID, Name, EmailAddr, Type.
    explicit TRcNameList(TSQLiteUniTable& aRow);

    std::string FId;
    std::string FUserId;
    std::string FName;
    std::string FEmailAddr;
    TNameListType FNameType = nltBlack;

    TResType ResType() const { return FNameType == nltWhite ? rtWhiteNameList : rtBlackNameList; }
    // The name, or "<id: …>" with the account id when it is empty.
    std::string ToString() const override;
};

using TRcNameLists = TRcList<TRcNameList>;

// The NameList table. Every value is bound; address comparisons are exact.
struct TSqliteDbNameList {
    static void InitNameListTable(const TRcResPath* aResPath);
    // Ids of that list in table order, autoreleased; empty when the table
    // is missing.
    static TRcResIdList* GetIds(const TRcResPath* aResPath, TNameListType aType);
    // The entry the path ends with, autoreleased; nullptr when missing.
    static TRcNameList* Load(const TRcResPath* aResPath);
    // Clears aList, then fills it with the entries of type aLetter.
    static void LoadList(const TRcResPath* aResPath, const std::string& aLetter, TRcNameLists* aList);
    static void Save(const TRcResPath* aResPath, const TRcNameList* aEntry);
    static void Delete(const TRcResPath* aResPath);
    static void DeleteAllNameList(const TRcResPath* aResPath);
    static bool CheckNameListByEmail(const TRcResPath* aResPath, const std::string& aAddress, TNameListType aType);
    static void UpdateNameListTypeByEmail(const TRcResPath* aResPath, const std::string& aAddress,
                                          TNameListType aType);

    // Inside a transaction the caller holds on aDb.
    static void SaveIn(TSQLiteDatabase& aDb, const std::string& aUserId, const TRcNameList* aEntry);
    static void DeleteAllIn(TSQLiteDatabase& aDb);
};

class INameListObserver : public virtual IRcInterface {
public:
    virtual void OnChanged(TNameListType aType) = 0;
};

class TRcNameListObservable : public TRcObservable<INameListObserver> {
public:
    void NotifyChanged(TNameListType aType)
    {
        ForEachObserver([&](INameListObserver& aObserver) { aObserver.OnChanged(aType); });
    }
};

// What the platform keeps of an account: its lists and keywords as texts.
struct TNameListPlatformTexts {
    std::string BlackList;
    std::string WhiteList;
    std::string Keywords;
};

class TNameListManager : public TSingletonOf<TNameListManager> {
public:
    TNameListManager();
    ~TNameListManager() override;

    static TNameListManager* NameListManager() { return Instance(); }

    void RegisterObserver(INameListObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(INameListObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    // Loads both lists of the path's account into the cache. On any error
    // the cache is left unloaded and the error goes to the caller.
    void Init(const TRcResPath* aResPath);
    void UnInit();
    // Whether the cache holds the lists of the path's account.
    bool IsLoadedFor(const TRcResPath* aResPath) const;

    // Compared upper-cased (a to z only) and trimmed. Lists that are not
    // loaded answer false: an unloaded white list must not let a whole
    // mailbox past the date window.
    bool CheckWhitekName(const std::string& aEmailAdd) const;
    bool CheckBlackName(const std::string& aEmailAdd) const;

    TRcNameList* GetNameList(const TRcResPath* aResPath) { return TSqliteDbNameList::Load(aResPath); }
    void GetBlackNameList(const TRcResPath* aResPath, TRcNameLists* aList);
    void GetWhiteNameList(const TRcResPath* aResPath, TRcNameLists* aList);
    TRcResIdList* GetBlackNameListIds(const TRcResPath* aResPath);
    TRcResIdList* GetWhiteNameListIds(const TRcResPath* aResPath);
    // A new unsaved entry, autoreleased.
    TRcNameList* CreateNameList(TNameListType aType);
    void InitDb(const TRcResPath* aResPath) { TSqliteDbNameList::InitNameListTable(aResPath); }
    bool CheckNameListByEmail(const TRcResPath* aResPath, const std::string& aAddress, TNameListType aType);
    void UpdateNameListTypeByEmail(const TRcResPath* aResPath, const std::string& aAddress, TNameListType aType);

    void SaveNameList(const TRcResPath* aResPath, TRcNameList* aNameList);
    void InsertBlackNameList(const TRcResPath* aResPath, const TAddressItem& aAddress);
    void InsertWhiteNameList(const TRcResPath* aResPath, const TAddressItem& aAddress);
    void DeleteNameList(const TRcResPath* aResPath);

    // The three texts the platform is sent for the path's account.
    static TNameListPlatformTexts PlatformTexts(const TRcResPath* aResPath);
    // Sends them; a refusal or failure raises its message.
    void SaveNameListMailFilterToTavro(const TPlatformContext& aContext, const TRcResPath* aResPath,
                                       const std::string& aEmail);
    // Asks the platform and replaces the account's lists and keywords with
    // its copy, in one transaction, only after a valid reply; a failed or
    // unreadable reply raises and leaves the local lists as they were.
    // aReceiveMailType: "receiveforeign", a number or a text holding one.
    void GetTavroNameListMailFilter(const TPlatformContext& aContext, const TRcResPath* aResPath,
                                    const std::string& aEmail, int& aReceiveMailType);
    // Applies a reply's "info" (a JSON object, or a text holding one) as
    // above; raises when it is not one.
    void ApplyPlatformNameListMailFilter(const TRcResPath* aResPath, const std::string& aInfo,
                                         int& aReceiveMailType);

    // One line per entry, the trimmed name, "," and the address, CRLF
    // ended; false (and no file) when the list is empty.
    bool ExportNameList(const TRcResPath* aResPath, TNameListType aType, const std::string& aFileName);
    // Each line split at its last comma into name and address; entries
    // whose address is already on that list are skipped. UTF-8, UTF-16
    // with a BOM or GB18030. Returns how many were added.
    int ImportNameList(const TRcResPath* aResPath, TNameListType aType, const std::string& aFileName);

private:
    void Insert(const TRcResPath* aResPath, const TAddressItem& aAddress, TNameListType aType);

    mutable std::mutex FMutex;
    TRcRef<TRcNameLists> FBlackNameLists;
    TRcRef<TRcNameLists> FWhiteNameLists;
    std::string FLoadedAccountId;
    TRcRef<TRcNameListObservable> FObservable;
};

// ".qm2" is appended to a chosen export name that does not end with it.
std::string NameListExportFileName(const std::string& aChosen);
