// Mail server presets by domain, used to fill in a new account.
#pragma once

#include <string>

#include "Runtime/RcList.h"

enum TUserNameMode {
    unmName,        // the login is the part of the address before "@"
    unmNameDomain,  // the login is the whole address
};

class TRcAccountInfoTemplate : public TRcObject {
public:
    TUserNameMode FUserNameMode = unmName;
    int FSmtpPort = 25;
    std::string FDomain;   // lower case
    bool FPop3UseSsl = false;
    bool FSmtpUseSsl = false;
    std::string FPop3;
    std::string FSmtp;
    int FPop3Port = 110;
};

class TRcAccountInfoTemplateList : public TRcList<TRcAccountInfoTemplate> {
public:
    // Domains compare ignoring case; -1 when none matches.
    int IndexOfDomain(const std::string& aDomain) const;
};
