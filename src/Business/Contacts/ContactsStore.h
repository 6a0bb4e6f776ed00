// Where an account's address book lives: the AddresBook and
// AddresBookGroup tables of the account's own database, addressed by
// paths account / address-book folder [/ group [/ contact]].
#pragma once

#include <string>

class TRcResPath;
class TSQLiteDatabase;

namespace contacts {

// The address-book folder is one fixed identifier for every account.
inline constexpr const char* kAddressBookFolderId = "5D1A59AD84A3459B856D447808DC9AB8";
// Two groups that are never rows: every contact, and the contacts of no
// group (GroupId NULL or this very text). Their names are their ids.
inline constexpr const char* kAllContactsGroupId = "全部联系人";
inline constexpr const char* kNoGroupId = "未分组";

bool IsPseudoGroupId(const std::string& aId);

// The open database of the account the path starts with; nullptr when the
// path does not start with an account or that account is not there.
TSQLiteDatabase* AccountDbOf(const TRcResPath* aResPath);

// The account / address-book folder path of any path that starts with an
// account, autoreleased; nullptr otherwise.
TRcResPath* AddressBookFolderPathOf(TRcResPath* aResPath);
// Exactly an account and the fixed folder.
bool IsAddressBookFolderPath(const TRcResPath* aResPath);

} // namespace contacts
