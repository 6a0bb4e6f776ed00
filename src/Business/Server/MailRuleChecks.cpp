#include "MailRuleChecks.h"

#include <mutex>

namespace {

std::mutex gMutex;
TMailRuleChecks gChecks;

bool Ask(TMailRuleChecks::TCheck TMailRuleChecks::*aCheck, TRcResPath* aAccountResPath, const std::string& aText)
{
    TMailRuleChecks::TCheck check;
    {
        std::lock_guard lock(gMutex);
        check = gChecks.*aCheck;
    }
    return check && check(aAccountResPath, aText);
}

} // namespace

void SetMailRuleChecks(TMailRuleChecks aChecks)
{
    std::lock_guard lock(gMutex);
    gChecks = std::move(aChecks);
}

bool CheckWhitekName(TRcResPath* aAccountResPath, const std::string& aAddress)
{
    return Ask(&TMailRuleChecks::CheckWhitekName, aAccountResPath, aAddress);
}

bool CheckBlackName(TRcResPath* aAccountResPath, const std::string& aAddress)
{
    return Ask(&TMailRuleChecks::CheckBlackName, aAccountResPath, aAddress);
}

bool CheckMailFilter(TRcResPath* aAccountResPath, const std::string& aSubject)
{
    return Ask(&TMailRuleChecks::CheckMailFilter, aAccountResPath, aSubject);
}
