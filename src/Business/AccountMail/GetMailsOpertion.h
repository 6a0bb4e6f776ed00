// TGetMailsOpertion: how a mail listing is filtered and ordered. The three
// texts are what the user typed into the search box; a mail passes when
// any non-empty text occurs in its field (subject, From, To), whatever the
// letter case.
#pragma once

#include <string>

#include "SqliteDbMail.h"
#include "Runtime/RcObject.h"

class TGetMailsOpertion : public TRcObject {
public:
    std::string FSubjectContainText;
    std::string FFromContainText;
    std::string FToContainText;
    TGetMailsOpertionSortMode FSortMode = gmosmDefault;

    bool CheckFilter(const std::string& aSubject, const std::string& aFrom, const std::string& aTo) const;
    // Nil options pass everything.
    static bool CheckFilter(const TGetMailsOpertion* aOpertion, const std::string& aSubject, const std::string& aFrom,
                            const std::string& aTo);
};

// The filter of one listing, its texts folded once for every row.
class TMailFilter {
public:
    explicit TMailFilter(const TGetMailsOpertion* aOpertion);
    bool Empty() const { return FSubject.empty() && FFrom.empty() && FTo.empty(); }
    bool Passes(const std::string& aSubject, const std::string& aFrom, const std::string& aTo) const;

private:
    std::string FSubject;
    std::string FFrom;
    std::string FTo;
};
