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
    // The mail and those exchanged with the same correspondent; -1 until
    // counted (counting reads the whole account, so only the worker does).
    int RelationMailNumber = -1;
    bool ReTranslation = false;
    int SecretaryFlag = 0;
    std::string SecretaryMemo;
    // Handed to the SMTP server without its answer: it may have gone out.
    bool InFlight = false;
};

// The values of the mail at aMailResPath (not Loaded when it has gone);
// the related mails are counted only when asked.
TMailRowValues LoadMailRowValues(TRcResPath* aMailResPath, bool aCountRelated);

// The first address of a list as a row shows it: its display name, else
// the part before "@", else the whole text; aTip gets the address.
std::string ShownAddress(const std::string& aList, std::string* aTip = nullptr);

// The marker image of a translation-service language code ("" for none).
std::string LanguageImage(int aLanguage);
