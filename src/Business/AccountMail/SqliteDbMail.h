// TSqliteDbMail: the SQL of the Mail and MailHeader tables
// (SqliteDbMail.cpp) and of the stored complexes, MailComplex and
// MailComplexFile (MailComplexStore.cpp). Loading one mail's row is
// TRcMail's own (Mail.cpp). Every value is bound, ids included, so an id
// that holds a quote or names a column neither fails nor reads another row.
#pragma once

#include <filesystem>
#include <string>
#include <functional>
#include <vector>

#include "Mail.h"

class TSQLiteDatabase;
class TRcMailComplex;

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

    // Writes the row, the folder as its code and [References] included. A
    // mail read from its row (it has a stored mark) is written only while
    // the row is still in the folder and state it was read in; false when
    // it is not (it changed meanwhile, nothing is written). Any other mail
    // is written whole (replace into). A written mail's mark becomes what
    // it wrote.
    static bool Save(TSQLiteDatabase& aDb, TRcMail& aMail, int aFolderCode);
    // Moves the mail into aToCode with aState only while it is still in
    // aFromCode; false when it is not (moved meanwhile, or no row).
    static bool MoveIfIn(TSQLiteDatabase& aDb, const std::string& aId, int aFromCode, int aToCode,
                         TMailSendReceiveState aState);
    // The mails of one folder in the order of the sort mode.
    static std::vector<TListRow> ListFolder(TSQLiteDatabase& aDb, int aFolderCode, TGetMailsOpertionSortMode aSortMode);
    // The same rows in the same order, handed over one by one until aRow
    // answers false (a first screen needs only the first few: aFew says
    // that the caller stops soon, which changes how SQLite is best asked).
    static void ListFolderWhile(TSQLiteDatabase& aDb, int aFolderCode, TGetMailsOpertionSortMode aSortMode,
                                const std::function<bool(const TListRow&)>& aRow, bool aFew = false);
    // The select texts of the five sort modes; the folder code is bound.
    static const char* SortQuery(TGetMailsOpertionSortMode aSortMode, bool aFew = false);

    // Stores the complex's parts under aMailsPath: every file is copied
    // (large ones zipped) and synced before the transaction that marks the
    // old rows deleted and inserts the new ones; then the sweep. True when
    // a live complex with that id existed before.
    static bool SaveMailComplex(TSQLiteDatabase& aDb, const std::filesystem::path& aMailsPath, const std::string& aId,
                                TRcMailComplex& aMailComplex);
    // Extracts the stored parts to fresh working files; nullptr when no
    // live complex has that id. Autoreleased.
    static TRcMailComplex* LoadMailComplex(TSQLiteDatabase& aDb, const std::filesystem::path& aMailsPath,
                                           const std::string& aId, bool aDisplayPage = true);
    // Removes every file of rows marked deleted, then the rows; a file
    // that cannot be removed rolls the sweep back for the next time.
    static void DeleteMailComplex(TSQLiteDatabase& aDb, const std::filesystem::path& aMailsPath);
    // Removes the files of rows marked deleted, then every other file in
    // aMailsPath that no row names (left by a crash between writing the
    // files and committing their rows). Only safe while nothing else
    // saves into that folder, as at start-up. Returns the number of files
    // removed; a folder that cannot be read is left alone.
    static int SweepMailFiles(TSQLiteDatabase& aDb, const std::filesystem::path& aMailsPath);
    // Whether a part is stored zipped: 100 KiB or more and an extension
    // that is not already compressed (compared exactly, case counts).
    static bool IsArchived(const std::filesystem::path& aFileName, int64_t aSize);

    // Single-row lookups and changes, each one statement; the caller
    // holds the transaction.
    static std::vector<TListRow> ListNotReaded(TSQLiteDatabase& aDb, int aFolderCode);
    static int CountNotReaded(TSQLiteDatabase& aDb, int aFolderCode);
    static std::vector<std::string> AllIds(TSQLiteDatabase& aDb);
    // The first mail with that POP3 unique id; "" for none.
    static std::string IdOfUid(TSQLiteDatabase& aDb, const std::string& aUid);
    static bool Exists(TSQLiteDatabase& aDb, const std::string& aId);
    // The stored folder code; nothing without a row.
    static std::optional<int> FolderCodeOfId(TSQLiteDatabase& aDb, const std::string& aId);
    static std::vector<std::string> IdsInState(TSQLiteDatabase& aDb, int aFolderCode, TMailSendReceiveState aState);
    static void SetFolderCode(TSQLiteDatabase& aDb, const std::string& aId, int aFolderCode);
    static void SetState(TSQLiteDatabase& aDb, const std::string& aId, TMailSendReceiveState aState);
    // Nothing without a row.
    static std::optional<bool> SeenFlag(TSQLiteDatabase& aDb, const std::string& aId);
    static void SetSeenFlag(TSQLiteDatabase& aDb, const std::string& aId, bool aSeen);
    static void SetReceiptSend(TSQLiteDatabase& aDb, const std::string& aId, bool aSent);
    static void SetReTranslation(TSQLiteDatabase& aDb, const std::string& aId);
    // Marks every mail with that Message-ID as referred to.
    static void SetReferences(TSQLiteDatabase& aDb, const std::string& aMessageId);
    static void SetNorvelUid(TSQLiteDatabase& aDb, const std::string& aId, const std::string& aNorvelUid);
    // Marks the mail's stored parts deleted; DeleteMailComplex removes them.
    static void MarkComplexDeleted(TSQLiteDatabase& aDb, const std::string& aId);

    struct TPartyRow {
        std::string Id;
        std::string From;
        std::string To;
        int FolderCode = 0;
    };
    // Every mail of the account, newest first.
    static std::vector<TPartyRow> ListParties(TSQLiteDatabase& aDb);
    // The mails of the inbox, sending folder and out box whose From and To
    // mention both texts (ASCII letters in any case), newest first.
    static std::vector<TPartyRow> ListPartiesMentioning(TSQLiteDatabase& aDb, const std::string& aFirst,
                                                        const std::string& aSecond);

    struct THeaderRow {
        std::string Uid;
        TDateTime Data = 0;
        std::string FromAddress;
        std::string Subject;
    };
    static void SaveHeader(TSQLiteDatabase& aDb, const THeaderRow& aHeader);
    static std::optional<THeaderRow> LoadHeader(TSQLiteDatabase& aDb, const std::string& aUid);
};
