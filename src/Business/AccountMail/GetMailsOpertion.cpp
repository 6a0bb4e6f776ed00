#include "GetMailsOpertion.h"

#include "Business/Data/UserTextFold.h"

TMailFilter::TMailFilter(const TGetMailsOpertion* aOpertion)
{
    if (!aOpertion)
        return;
    FSubject = FoldUserText(aOpertion->FSubjectContainText);
    FFrom = FoldUserText(aOpertion->FFromContainText);
    FTo = FoldUserText(aOpertion->FToContainText);
}

bool TMailFilter::Passes(const std::string& aSubject, const std::string& aFrom, const std::string& aTo) const
{
    if (Empty())
        return true;
    return (!FSubject.empty() && ContainsUserText(aSubject, FSubject)) ||
           (!FFrom.empty() && ContainsUserText(aFrom, FFrom)) || (!FTo.empty() && ContainsUserText(aTo, FTo));
}

bool TGetMailsOpertion::CheckFilter(const std::string& aSubject, const std::string& aFrom, const std::string& aTo) const
{
    return TMailFilter(this).Passes(aSubject, aFrom, aTo);
}

bool TGetMailsOpertion::CheckFilter(const TGetMailsOpertion* aOpertion, const std::string& aSubject,
                                    const std::string& aFrom, const std::string& aTo)
{
    return TMailFilter(aOpertion).Passes(aSubject, aFrom, aTo);
}
