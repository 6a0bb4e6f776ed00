#include "MailContact.h"

#include "Runtime/TextFormat.h"

std::string TRcMailContact::SuggestionText() const
{
    const bool blank = Name.find_first_not_of(" \t") == std::string::npos;
    return blank ? Mail : FormatText("\"%s\" <%s>", {Name, Mail});
}

bool TRcMailContactList::AddUnique(TRcMailContact* aContact)
{
    for (TRcMailContact* contact : *this)
        if (contact->Mail == aContact->Mail)
            return false;
    Add(aContact);
    return true;
}

TRcMailContactList* TRcMailContactList::Suggestions(const std::string& aTyped) const
{
    auto* found = RcCreateAndAutoRelease<TRcMailContactList>();
    for (TRcMailContact* contact : *this)
        if (contact->Name.starts_with(aTyped) || contact->Mail.starts_with(aTyped))
            found->Add(contact);
    return found;
}
