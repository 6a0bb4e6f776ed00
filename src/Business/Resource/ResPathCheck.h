// Path-shape checks: what managers, factories and screens test a path
// against before they touch anything. For each shape S:
//   SResPathError(path)  the first thing wrong with the path, "" when fine
//   IsSResPath(path)     the error is ""
//   CheckSResPath(path)  throws Exception(the error), for some shapes
#pragma once

#include <string>

class TRcResPath;

#define QM_RES_PATH_SHAPE(S)                                   \
    std::string S##ResPathError(const TRcResPath* aPath);      \
    inline bool Is##S##ResPath(const TRcResPath* aPath)        \
    {                                                          \
        return S##ResPathError(aPath).empty();                 \
    }

QM_RES_PATH_SHAPE(Empty)                  // nil or no elements
QM_RES_PATH_SHAPE(AccountRooted)          // account, then anything
QM_RES_PATH_SHAPE(Account)                // account
QM_RES_PATH_SHAPE(AccountMailFolder)      // account, …, mail folder
QM_RES_PATH_SHAPE(AccountMail)            // account, …, mail
QM_RES_PATH_SHAPE(AddressBookFolder)      // account, address-book folder
QM_RES_PATH_SHAPE(AddressBookGroup)       // … , group
QM_RES_PATH_SHAPE(AddressBook)            // … , group, contact
QM_RES_PATH_SHAPE(PromoteTemplateFolder)  // account, promotion folder
QM_RES_PATH_SHAPE(PromoteTemplate)        // … , promotion template
QM_RES_PATH_SHAPE(PromoteTemplateItem)    // … , promotion template, item
QM_RES_PATH_SHAPE(Conversation)           // anything, conversation
QM_RES_PATH_SHAPE(TemplateFolder)         // one or two template folders
QM_RES_PATH_SHAPE(Template)               // two template folders, template
QM_RES_PATH_SHAPE(LetterFolder)           // letter folder
QM_RES_PATH_SHAPE(Letter)                 // letter folder, letter

#undef QM_RES_PATH_SHAPE

void CheckAccountRootedResPath(const TRcResPath* aPath);
void CheckAccountMailFolderResPath(const TRcResPath* aPath);
void CheckAccountMailResPath(const TRcResPath* aPath);
void CheckPromoteTemplateResPath(const TRcResPath* aPath);
