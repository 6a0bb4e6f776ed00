// Mail contacts: the (name, address) pairs offered while the user types
// recipients, gathered from the address book and from stored mails.
#pragma once

#include <string>

#include "Runtime/RcList.h"

class TRcMailContact : public TRcObject {
public:
    TRcMailContact(std::string aName, std::string aMail) : Name(std::move(aName)), Mail(std::move(aMail)) {}
    static TRcMailContact* CreateAndAutoRelease(std::string aName, std::string aMail)
    {
        return RcCreateAndAutoRelease<TRcMailContact>(std::move(aName), std::move(aMail));
    }

    // "\"name\" <address>", or the bare address when the name is blank.
    std::string SuggestionText() const;

    const std::string Name;
    const std::string Mail;
};

class TRcMailContactList : public TRcList<TRcMailContact> {
public:
    // Appends unless a contact with exactly this address (letter case
    // counts) is there already; true when appended.
    bool AddUnique(TRcMailContact* aContact);
    // Every contact, in list order, whose name or address starts with the
    // typed text (letter case counts); autoreleased.
    TRcMailContactList* Suggestions(const std::string& aTyped) const;
};
