// What POP3 receiving asks of an account's white and black name lists and
// subject filters. Until those lists are built the answers are those of
// lists loaded and empty: nobody is white- or black-listed and no filter
// matches, so only the date window decides. Tests (and the lists, when
// they land) put their own checks in.
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

bool CheckWhitekName(TRcResPath* aAccountResPath, const std::string& aAddress);
bool CheckBlackName(TRcResPath* aAccountResPath, const std::string& aAddress);
bool CheckMailFilter(TRcResPath* aAccountResPath, const std::string& aSubject);
