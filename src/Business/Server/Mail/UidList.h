// The messages a POP3 receive run works through: one item per UIDL line,
// with what the run decided about it.
#pragma once

#include <string>
#include <vector>

struct TUidItem {
    int Id = 0;                 // the message number of the session
    std::string UidlId;         // the server's unique id of the message
    bool NeedRetrFlag = true;   // to be downloaded
    bool NeedDeleFlag = false;  // stored (nothing is ever deleted on the server)
};

struct TUidList {
    std::vector<TUidItem> Items;

    int GetNeedRetrCount() const
    {
        int count = 0;
        for (const TUidItem& item : Items)
            count += item.NeedRetrFlag ? 1 : 0;
        return count;
    }
};
