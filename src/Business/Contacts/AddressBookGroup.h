// Address-book groups: flat, user-named groups of an account's contacts,
// rows of AddresBookGroup in the account database.
#pragma once

#include <string>

#include "Business/Resource/ResId.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcRef.h"

class TSQLiteUniTable;

class TRcAddressBookGroup : public TRcObject {
public:
    TRcAddressBookGroup() = delete;   // a group is made new or from its row
    // A new, unsaved group: a fresh id, no name, the creation time left at
    // zero for the caller.
    static TRcAddressBookGroup* CreateEmptyAddressBookGroup();   // autoreleased
    // From a row of Id, Name, Createtime.
    explicit TRcAddressBookGroup(TSQLiteUniTable& aRow);

    // The name, or "<id: …>" when it is empty.
    std::string ToString() const override;
    TRcResId* ResId() const { return FResId.Get(); }

    TRcRef<TRcResId> FResId;   // type rtAccountAddressBookGroup
    std::string FName;
    TDateTime FCreatetime = 0;

private:
    explicit TRcAddressBookGroup(std::string aId);
};

// Every value bound. The database is the one of the account the path
// starts with; without it, lists are nil and nothing is written.
class TSqliteDbAddressBookGroup {
public:
    TSqliteDbAddressBookGroup() = delete;

    enum TDeleteResult { drDeleted = 0, drNotEmpty = 1, drNotFound = 2 };

    static const char* CreateTableSql();
    // Ids in creation-time order, autoreleased.
    static TRcResIdList* GetIds(const TRcResPath* aFolderPath);
    // Autoreleased; nullptr when there is no such group.
    static TRcAddressBookGroup* Load(const TRcResPath* aPath, const std::string& aId);
    // Whether the row existed before. In the same transaction the name is
    // refused ("分组已存在!") when it is one of the two pseudo-groups' or
    // another group's.
    static bool Save(const TRcResPath* aFolderPath, const TRcAddressBookGroup* aGroup);
    // A group that still holds contacts is left as it is.
    static TDeleteResult Delete(const TRcResPath* aGroupPath);
    static bool CheckGroupByGroupName(const TRcResPath* aPath, const std::string& aName);
    static void DeleteAllAddressBookGroup(const TRcResPath* aPath);

    static constexpr const char* kGroupExists = "分组已存在!";
};
