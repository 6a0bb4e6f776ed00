// How the rule stores reach an account's database: element 0 of the path
// is the account, whose open connection holds the rule tables.
#pragma once

class TRcResPath;
class TSQLiteDatabase;

// The account database of the path's account; raises when the path does
// not start with an account or its database is not open.
TSQLiteDatabase& RulesAccountDb(const TRcResPath* aResPath);
