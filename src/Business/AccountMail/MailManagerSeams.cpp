#include "MailManagerSeams.h"

void SaveMailContact(TRcResPath*, TRcMail*) {}
