#include "MailRuleChecks.h"

#include <mutex>

#include "Business/Rules/MailFilter.h"
#include "Business/Rules/NameList.h"

namespace {

std::mutex gMutex;
TMailRuleChecks gChecks = RuleManagerChecks();

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

TMailRuleChecks RuleManagerChecks()
{
    TMailRuleChecks checks;
    checks.CheckWhitekName = [](TRcResPath* aAccountResPath, const std::string& aAddress) {
        const TNameListManager* lists = TNameListManager::NameListManager();
        return lists && lists->IsLoadedFor(aAccountResPath) && lists->CheckWhitekName(aAddress);
    };
    checks.CheckBlackName = [](TRcResPath* aAccountResPath, const std::string& aAddress) {
        const TNameListManager* lists = TNameListManager::NameListManager();
        return lists && lists->IsLoadedFor(aAccountResPath) && lists->CheckBlackName(aAddress);
    };
    checks.CheckMailFilter = [](TRcResPath* aAccountResPath, const std::string& aSubject) {
        const TMailFilterManager* filters = TMailFilterManager::MailFilterManager();
        return filters && filters->IsLoadedFor(aAccountResPath) && filters->CheckMailFilter(aSubject);
    };
    return checks;
}

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
