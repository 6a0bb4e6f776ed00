#include "MailManagerSeams.h"

void SaveMailContact(TRcResPath*, TRcMail*) {}

std::string ConversationItemMailId(TRcResPath*)
{
    return {};
}
