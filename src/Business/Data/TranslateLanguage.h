// The languages offered for translation, by the translation service's
// numbers: -1 none, 1 simplified Chinese, 2 English, 3 Japanese,
// 4 French, 6 Russian, 11 Spanish, 13 Arabic, 9997 not recognised.
#pragma once

#include <functional>
#include <string>

#include "Runtime/RcList.h"

class TRcTranslateLanguage : public TRcObject {
public:
    TRcTranslateLanguage(std::string aName, int aNorvelId) : FName(std::move(aName)), FNorvelId(aNorvelId) {}
    static TRcTranslateLanguage* CreateAndAutoRelease(std::string aName, int aNorvelId)
    {
        return RcCreateAndAutoRelease<TRcTranslateLanguage>(std::move(aName), aNorvelId);
    }

    const std::string FName;
    const int FNorvelId;
};

class TRcTranslateLanguageList : public TRcList<TRcTranslateLanguage> {
public:
    // The first entry of exactly that name; -1 when none.
    int IndexOfName(const std::string& aName) const;
    int IndexOfId(int aId) const;
    // The name of a language number; the fixed numbers and unknown ones
    // are named by message texts, looked up through aMessageText.
    std::string NameFromNorvelId(int aId, const std::function<std::string(const std::string&)>& aMessageText) const;
};
