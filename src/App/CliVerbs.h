// The verbs of quillmar-cli; each takes the words after it and returns the
// exit code (an ECliError carries its own).
#pragma once

#include <string>
#include <vector>

using TCliWords = std::vector<std::string>;

int VerbAccounts(const TCliWords& aArgs);
int VerbAccount(const TCliWords& aArgs);   // add, remove
int VerbReceive(const TCliWords& aArgs);
int VerbSend(const TCliWords& aArgs);
int VerbList(const TCliWords& aArgs);
int VerbShow(const TCliWords& aArgs);
int VerbExport(const TCliWords& aArgs);
int VerbImport(const TCliWords& aArgs);
int VerbMassSend(const TCliWords& aArgs);
