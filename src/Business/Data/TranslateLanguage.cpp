#include "TranslateLanguage.h"

int TRcTranslateLanguageList::IndexOfName(const std::string& aName) const
{
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->FName == aName)
            return i;
    return -1;
}

int TRcTranslateLanguageList::IndexOfId(int aId) const
{
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->FNorvelId == aId)
            return i;
    return -1;
}

std::string TRcTranslateLanguageList::NameFromNorvelId(
    int aId, const std::function<std::string(const std::string&)>& aMessageText) const
{
    switch (aId) {
    case -1: return aMessageText("NoTranslation");
    case 1: return aMessageText("ChineseSimp");
    case 9997: return aMessageText("UnknownLanguages");
    default: break;
    }
    const int index = IndexOfId(aId);
    return index >= 0 ? GetItem(index)->FName : aMessageText("Nonsupport");
}
