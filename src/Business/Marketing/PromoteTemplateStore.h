// All SQL of the promotion templates, over the Account.db of the account
// the caller names. Ids are checked before they reach a statement; every
// value is bound. Lists come in display order (serial number, then
// creation time), so items made in the same instant keep their places.
#pragma once

#include <string>
#include <vector>

#include "PromoteTemplate.h"

class TSQLiteDatabase;

class TSqliteDbPromoteTemplate {
public:
    TSqliteDbPromoteTemplate() = delete;

    static std::vector<std::string> GetIds(TSQLiteDatabase& aDb);
    // With its items and their pictures; nullptr when there is no such row.
    static TRcPromoteTemplate* Load(TSQLiteDatabase& aDb, const std::string& aId);   // autoreleased
    static bool IsNameTaken(TSQLiteDatabase& aDb, const std::string& aId, const std::string& aName);
    // The template row and all its items and pictures, replaced by what the
    // record holds, in one transaction: a failure leaves the template as it
    // was. Items and pictures get their serial numbers (1-based positions).
    // Whether the template existed before.
    static bool Save(TSQLiteDatabase& aDb, TRcPromoteTemplate* aTemplate);
    // Items, pictures and the row, in one transaction; whether the row was
    // there.
    static bool Delete(TSQLiteDatabase& aDb, const std::string& aId);
    static void DeleteAll(TSQLiteDatabase& aDb);

    static constexpr const char* kBadId = "推广模板的ID无效";
};

class TSqliteDbPromoteTemplateItem {
public:
    TSqliteDbPromoteTemplateItem() = delete;

    static std::vector<std::string> GetIds(TSQLiteDatabase& aDb, const std::string& aTemplateId);
    // With its pictures; nullptr when there is no such row.
    static TRcPromoteTemplateItem* Load(TSQLiteDatabase& aDb, const std::string& aId);   // autoreleased
    // Empty when there is no such item.
    static std::string GetProductId(TSQLiteDatabase& aDb, const std::string& aItemId);
    static std::vector<std::string> GetProductIds(TSQLiteDatabase& aDb, const std::string& aTemplateId);
    // Writes the items and their pictures (serial numbers assigned) in one
    // transaction.
    static void Save(TSQLiteDatabase& aDb, TRcPromoteTemplateItemList* aItems);
    // Every item of the template with its pictures, in one transaction.
    static void DeleteOfTemplate(TSQLiteDatabase& aDb, const std::string& aTemplateId);
};

class TSqliteDbpromoteTemplateItemImage {
public:
    TSqliteDbpromoteTemplateItemImage() = delete;

    // Product picture ids of an item's picture rows.
    static std::vector<std::string> GetProductImageIds(TSQLiteDatabase& aDb, const std::string& aItemId);
    // Of every item of the template, item by item.
    static std::vector<std::string> GetTemplateProductImageIds(TSQLiteDatabase& aDb, const std::string& aTemplateId);
    // The first picture of each item that has one.
    static std::vector<std::string> GetFirstProductImageIds(TSQLiteDatabase& aDb, const std::string& aTemplateId);
};
