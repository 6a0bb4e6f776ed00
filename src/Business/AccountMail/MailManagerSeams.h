// Where the mail manager meets domains that are not built yet. Each does
// nothing, or answers "none", until its domain lands and fills it in.
#pragma once

#include <string>

class TRcMail;
class TRcResPath;

// The address book remembers the correspondents of a saved mail: it
// installs its saver while it is built (nullptr removes it). The mail is
// stored before this is called, so a failure here is logged, never raised.
using TMailContactSaver = void (*)(TRcResPath* aFolderResPath, TRcMail* aMail);
void SetMailContactSaver(TMailContactSaver aSaver);
void SaveMailContact(TRcResPath* aFolderResPath, TRcMail* aMail);
