#include "AccountInfoTemplate.h"

#include "Runtime/AsciiText.h"


int TRcAccountInfoTemplateList::IndexOfDomain(const std::string& aDomain) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameTextAscii(GetItem(i)->FDomain, aDomain))
            return i;
    return -1;
}
