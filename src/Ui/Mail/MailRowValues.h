// What a row of the mail list shows, read from the mail's record on any
// thread (the list's worker reads most rows; the first screen is read at
// once).
#pragma once

#include "Business/AccountMail/Mail.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/DateTime.h"

#include <string>

struct TMailRowValues {
    bool Loaded = false;
    std::string From, FromTip;   // shown text of the first sender, and its address
    std::string To, ToTip;
    std::string Subject;
    bool ReadedFlag = false;
    bool HasAttachmentFlag = false;
    int SourceLanguage = 0;
    int TargetLanguage = 0;
    std::string NorvelUid;
    TDateTime Date = 0;
    bool ReTranslation = false;
    int SecretaryFlag = 0;
    std::string SecretaryMemo;
    // Handed to the SMTP server without its answer: it may have gone out.
    bool InFlight = false;
};

// The values of the mail at aMailResPath (not Loaded when it has gone).
// The mails exchanged with the same correspondent are not counted per row:
// finding them reads every row of the account (70 ms at 100,000 mails),
// and a screen of rows doing so would hold the account's database for a
// second; the reading pane lists them for the mail shown.
TMailRowValues LoadMailRowValues(TRcResPath* aMailResPath);

// The first address of a list as a row shows it: its display name, else
// the part before "@", else the whole text; aTip gets the address.
std::string ShownAddress(const std::string& aList, std::string* aTip = nullptr);

// The marker image of a translation-service language code ("" for none).
std::string LanguageImage(int aLanguage);
