// Where the mail manager meets domains that are not built yet. Each does
// nothing, or answers "none", until its domain lands and fills it in.
#pragma once

#include <string>

class TRcMail;
class TRcResPath;

// The address book remembers the correspondents of a saved mail.
void SaveMailContact(TRcResPath* aFolderResPath, TRcMail* aMail);
