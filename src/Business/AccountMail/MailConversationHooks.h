// Where the mail manager tells the conversation index what happened to a
// mail, and asks it which mail an item names. The index lives in a higher
// layer and installs its hooks while it exists; without them the calls do
// nothing and answer "none".
//
// The calls come after the mail's change is committed, from whichever
// thread made it (the scheduler's while receiving), and never raise: the
// mail is stored whatever the index makes of it, and a failure is logged
// as a warning.
#pragma once

#include <string>

class TRcMail;
class TRcResPath;

struct TMailConversationHooks {
    // The mail [account, folder, mail] is in a folder now: stored or
    // moved. aMail is the record when the caller has it, else nullptr.
    void (*MailKept)(TRcResPath* aMailResPath, TRcMail* aMail);
    // The mail [account, folder, mail] left every folder for good.
    void (*MailGone)(TRcResPath* aMailResPath);
    // The mail id a conversation item names; "" when there is none.
    std::string (*ItemMailId)(TRcResPath* aItemResPath);
};

// aHooks must outlive its installation; nullptr removes them. Installed
// and removed while no mail is being stored (before the scheduler starts,
// after it stops).
void InstallMailConversationHooks(const TMailConversationHooks* aHooks);

void MailKeptForConversations(TRcResPath* aMailResPath, TRcMail* aMail) noexcept;
void MailGoneForConversations(TRcResPath* aMailResPath) noexcept;
std::string ConversationItemMailId(TRcResPath* aItemResPath);
