// What POP3 receiving asks of an account's white and black name lists and
// subject filters. By default the answers come from the rule managers'
// lists, which LoadAccountMailRules loaded for the job's account; lists
// that are not loaded for the asking account answer false, so only the
// date window decides (and the job was already failed when loading
// failed). Without the managers (programs that do not build them) nobody
// is listed and no filter matches. Tests may put their own checks in.
#pragma once

#include <functional>
#include <string>

class TRcResPath;

struct TMailRuleChecks {
    using TCheck = std::function<bool(TRcResPath* aAccountResPath, const std::string& aText)>;
    TCheck CheckWhitekName;   // the sender's address
    TCheck CheckBlackName;    // the sender's address
    TCheck CheckMailFilter;   // the subject
};

// Replaces the checks; an empty check answers false.
void SetMailRuleChecks(TMailRuleChecks aChecks);
// The checks that ask the rule managers (the default).
TMailRuleChecks RuleManagerChecks();

bool CheckWhitekName(TRcResPath* aAccountResPath, const std::string& aAddress);
bool CheckBlackName(TRcResPath* aAccountResPath, const std::string& aAddress);
bool CheckMailFilter(TRcResPath* aAccountResPath, const std::string& aSubject);
