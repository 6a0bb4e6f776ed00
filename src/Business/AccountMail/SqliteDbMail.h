// TSqliteDbMail: all SQL of the Mail and MailHeader tables. Every value
// is bound, ids included, so an id that holds a quote or names a column
// neither fails nor reads another row.
#pragma once

#include <string>
#include <vector>

#include "Mail.h"

class TSQLiteDatabase;

enum TGetMailsOpertionSortMode {
    gmosmDefault,
    gmosmSubject,
    gmosmSize,
    gmosmReadedFlag,
    gmosmNoReadedFlag,
};

class TSqliteDbMail {
public:
    struct TListRow {
        std::string Id;
        std::string From;
        std::string To;
        std::string Subject;
    };

    // Writes the row (replace into), the folder as its code and
    // [References] included, so a save keeps the mark.
    static void Save(TSQLiteDatabase& aDb, const TRcMail& aMail, int aFolderCode);
    // The mails of one folder in the order of the sort mode.
    static std::vector<TListRow> ListFolder(TSQLiteDatabase& aDb, int aFolderCode, TGetMailsOpertionSortMode aSortMode);
    // The select texts of the five sort modes; the folder code is bound.
    static const char* SortQuery(TGetMailsOpertionSortMode aSortMode);

    struct THeaderRow {
        std::string Uid;
        TDateTime Data = 0;
        std::string FromAddress;
        std::string Subject;
    };
    static void SaveHeader(TSQLiteDatabase& aDb, const THeaderRow& aHeader);
    static std::optional<THeaderRow> LoadHeader(TSQLiteDatabase& aDb, const std::string& aUid);
};
