// Conversations: an account's mails grouped by correspondent, one
// conversation per sender address (lower-cased), with an item for every
// mail that address took part in (as sender or in To). The Conversation
// table of the account's database; items in ConversationItem.h.
//
// The index is a function of the account's mails: whichever order mails
// are added in, and whether added one by one or rebuilt at once, the same
// conversations hold the same items. A mail has at most one item per
// conversation; a conversation's subject and date are those of the
// newest mail from its correspondent; a mail without a From address is
// left out; mails deleted for good are not part of it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Business/Resource/ResPath.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

class TRcMail;
class TSQLiteDatabase;
class TSQLiteUniTable;

class TRcConversation : public TRcObject {
public:
    TRcConversation() = delete;   // made empty by the store, or from a row
    // The row a cursor is on: Id, Subject, ConversationType, LastMailDate,
    // CreateTime, ModifyTime.
    explicit TRcConversation(TSQLiteUniTable& aRow);
    TRcConversation(std::string aId, TDateTime aCreateTime);

    std::string ToString() const override;

    std::string FId;
    std::string FSubject;
    std::string FConversationType;
    TDateTime FLastMailDate = 0;
    bool FDeleteFlage = false;
    TDateTime FCreateTime = 0;
    TDateTime FModifyTime = 0;
};

// (index, count): the mail about to be added, of how many.
using TProgressProc = std::function<void(int, int)>;

// All SQL of the conversation table, and the index builders. Paths start
// with the account.
class TSqliteDbConversation {
public:
    TSqliteDbConversation() = delete;

    // The Info row that says the account's index was built whole. It names
    // what the index keeps: an index built before it kept the mails'
    // addresses is built once more.
    static constexpr const char* kBuiltMarker = "ConversationIndexBuiltWithAddresses";

    // A fresh id, created now; owned by the caller.
    static TRcRef<TRcConversation> CreateEmptyConversation();
    // Newest last mail first; flagged rows are left out. Autoreleased.
    static TRcResIdList* GetIds(const TRcResPath* aPath);
    // The conversation the path ends with; autoreleased, nullptr without.
    static TRcConversation* Load(const TRcResPath* aResPath);
    static void Save(const TRcResPath* aResPath, const TRcConversation& aConversation);
    // The row only; its items stay.
    static void Delete(const TRcResPath* aResPath);
    static void DeleteAllConversation(const TRcResPath* aResPath);
    static bool CheckConversationByEmail(const TRcResPath* aResPath, const std::string& aEmailAddress);
    // The stored conversation of that (lower-cased) address, or a new,
    // unsaved one.
    static TRcRef<TRcConversation> GetConversationByEmail(const TRcResPath* aResPath, const std::string& aFrom);

    // Adds one mail in one transaction; adding it again changes nothing.
    static void AddConversationByMail(const TRcResPath* aResPath, const TRcMail* aMail);
    // Takes a mail deleted for good out: its items go; its sender's
    // conversation takes its newest remaining mail, or goes with its
    // items when no mail from that sender is left.
    static void RemoveMailFromConversations(const TRcResPath* aResPath, const std::string& aMailId);
    // Every mail of the account that is in a folder, in one transaction
    // that first empties both tables; aProc (may be empty) hears of each
    // mail first. With aMarkBuilt the marker row is written with it.
    static void ReCreateAllConversationAndItems(const TRcResPath* aResPath, const TProgressProc& aProc,
                                                bool aMarkBuilt = false);
    static bool IsBuilt(const TRcResPath* aResPath);
    // Appends each address of aStr (name and address) not yet in the list
    // by its address.
    static void StrToEmailAddressList(const std::string& aStr, std::vector<std::string>& aEMailAddress);
};
