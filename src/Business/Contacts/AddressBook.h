// Contact cards of an account's address book: rows of AddresBook in the
// account database, each in one group (or none).
#pragma once

#include <string>

#include "Business/Resource/ResId.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcRef.h"

class TRcMailContactList;
class TSQLiteUniTable;

class TRcAddressBook : public TRcObject {
public:
    TRcAddressBook() = delete;   // a card is made new or from its row
    // A new, unsaved card: a fresh id, created now, everything else empty.
    static TRcAddressBook* CreateEmptyAddressBook();   // autoreleased
    // From a row of the store's 26 columns (all but NameCard), in table
    // order.
    explicit TRcAddressBook(TSQLiteUniTable& aRow);

    // First name followed directly by last name.
    std::string GetName() const { return FFirstName + FLastName; }
    // The name, or "<id: …>" when it is empty.
    std::string ToString() const override;
    TRcResId* ResId() const { return FResId.Get(); }

    TRcRef<TRcResId> FResId;   // type rtAccountAddressBook
    std::string FGroupId;      // as stored; empty for none
    std::string FHeadIcon;
    std::string FFirstName;
    std::string FLastName;
    std::string FDepartment;
    std::string FCompany;
    std::string FOffice;
    std::string FNickName;
    std::string FEmail;
    std::string FCompanyWeb;
    std::string FCompanyTel;
    std::string FPrivateTel;
    std::string FFax;
    std::string FCompanyAddr;
    std::string FZipCode;
    std::string FCountriesRegions;
    std::string FLanguages;   // the translation language id as decimal text, "-1" for none
    std::string FCustomerLevel;
    std::string FProductCategory;
    std::string FQQ;
    std::string FBirthday;    // as entered
    std::string FRelation;
    std::string FMemo;
    TDateTime FCreateTime = 0;
    TDateTime FModifiedTime = 0;

private:
    explicit TRcAddressBook(std::string aId);
};

// Which group ids of a listing are the two pseudo-groups.
class TContactOpertion : public TRcObject {
public:
    std::string FAllResId;
    std::string FNoGroupResId;
};

// What saving a card did.
enum class TAddressBookSaveStatus {
    Added,            // a new card was written
    Updated,          // an existing card was written over
    DuplicateEmail,   // a new card whose address another card has: nothing written
    NotSaved,         // not a group's path: nothing written
};

// All SQL of the address book, every value bound. The database is the one
// of the account the path starts with; without it, lists are nil, counts
// 0 and nothing is written.
class TSqliteDbAddressBook {
public:
    TSqliteDbAddressBook() = delete;

    enum TDeleteResult { drDeleted = 0, drNotFound = 1 };

    static const char* CreateTableSql();
    // Lists in creation-time order, autoreleased.
    static TRcResIdList* GetAddressBookIds(const TRcResPath* aPath);
    static int GetAllAddressBookCount(const TRcResPath* aPath);
    static TRcResIdList* GetIds(const TRcResPath* aGroupPath);   // by the path's group id
    static int GetAddressBookCount(const TRcResPath* aGroupPath);
    static TRcResIdList* GetGroupisNullAddressBookIds(const TRcResPath* aPath);
    static int GetGroupisNullAddressBookcount(const TRcResPath* aPath);
    // The group id equal to FAllResId lists everything; without an
    // operation, or a group id other than FNoGroupResId, that group;
    // else the ungrouped cards.
    static TRcResIdList* GetIds(const TRcResPath* aGroupPath, const TContactOpertion* aOpertion);
    static int GetAddressBookCount(const TRcResPath* aGroupPath, const TContactOpertion* aOpertion);
    // First name or address containing the text, ASCII case aside; the
    // text is literal (no wildcards).
    static TRcResIdList* Search(const TRcResPath* aPath, const std::string& aText);
    static TRcResIdList* GetIdsByEmail(const TRcResPath* aPath, const std::string& aEmail);
    static int GetAddressBookCount(const TRcResPath* aPath, const std::string& aEmail);
    // One contact per card: last name then first name, and the address.
    static void GetMailContactList(const TRcResPath* aPath, TRcMailContactList* aList);
    // Cards whose address, or last name followed by first name, starts
    // with aTyped (letter case counts), oldest first, at most aMaxCount,
    // each address once. Served by range scans of indexes, never a scan
    // of the table.
    static void GetMailContactSuggestions(const TRcResPath* aPath, const std::string& aTyped, int aMaxCount,
                                          TRcMailContactList* aList);
    // Autoreleased; nullptr when there is no such card.
    static TRcAddressBook* Load(const TRcResPath* aPath, const std::string& aId);
    // Under the group the path ends with (the all-contacts pseudo-group
    // counts as none), in one transaction. A new card whose non-empty
    // address another card has is not written.
    static TAddressBookSaveStatus Save(const TRcResPath* aGroupPath, const TRcAddressBook* aCard);
    static TDeleteResult Delete(const TRcResPath* aContactPath);
    static void Move(const TRcResPath* aContactPath, const TRcResPath* aGroupPath);
    static void DeleteAllAddressBook(const TRcResPath* aPath);

    // The id a card gets in the group a path ends with.
    static std::string StoredGroupId(const std::string& aGroupId);
};
