// The secretary exchange file: an attachment named
// "QmSfnSecretaryIniFile.ini" (the name compared exactly) holding an INI
// section "Secretary" that says which of the sender's mails this one
// answers and how. Only the first such attachment counts.
#pragma once

#include <optional>
#include <string>

#include "Runtime/IniFile.h"

class TRcMail;
class TRcMailComplex;

inline constexpr const char* kSecretaryIniFileName = "QmSfnSecretaryIniFile.ini";
inline constexpr const char* kSecretarySection = "Secretary";

struct TSecretaryData {
    int FLanguage = -1;
    int FSecretaryFlag = 0;
    int FSendType = -1;
    std::string FMemo;
};

// The first exchange file of the complex, read (UTF-8, UTF-16 with a BOM
// or GB18030); nothing when the complex has none.
std::optional<TIniFile> ReadSecretaryFile(const TRcMailComplex* aMailComplex);

// The mail's own flag, overridden by the exchange file when there is one.
TSecretaryData GetSecretaryData(const TRcMailComplex* aMailComplex, const TRcMail* aMail);
