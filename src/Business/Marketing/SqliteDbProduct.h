// All SQL of the product catalogue's Product and ProductImage tables.
// The connection is the caller's (the product manager's); every value is
// bound. Writes run in one transaction each and roll back and raise on
// any error; picture files are copied in before the transaction and
// removed after it commits.
#pragma once

#include <string>

#include "Business/Resource/ResPath.h"
#include "Product.h"

class TSQLiteDatabase;

class TSqliteDbProduct {
public:
    TSqliteDbProduct() = delete;

    // The ids of a group's products, oldest first (type rtProduct). With
    // an operation, its all-products id lists every product and its
    // no-group id lists those of the empty group id.
    static TRcResIdList* GetIds(TSQLiteDatabase& aDb, const std::string& aGroupId,
                                const TProductOpertion* aOpertion);   // autoreleased
    // The ids of a product's pictures, oldest first (type rtProductImage).
    static TRcResIdList* GetImages(TSQLiteDatabase& aDb, const std::string& aProductId);   // autoreleased
    // The product, or nullptr. With aFirstImage, FImages holds its first
    // picture (id and file name only); otherwise no picture.
    static TRcProduct* Load(TSQLiteDatabase& aDb, const std::string& aId, bool aFirstImage);   // autoreleased
    // The picture, its file name made from its id; nullptr without a row.
    static TRcProductImage* LoadImage(TSQLiteDatabase& aDb, const std::string& aId);   // autoreleased
    // Replaces FImages with every picture of the product, oldest first.
    static void LazyLoadProductImage(TSQLiteDatabase& aDb, TRcProduct* aProduct);

    // Saves the product under aGroupId with its pictures, and drops the
    // rows and files of pictures it no longer lists. New pictures are
    // copied into the image folder first (each checked to be a picture);
    // then one transaction writes every row; then the dropped pictures'
    // files go. Afterwards each picture's FFileName is its stored file.
    // Returns whether the product existed.
    static bool Save(TSQLiteDatabase& aDb, const std::string& aGroupId, TRcProduct* aProduct);
    // 0 deleted (with its pictures' rows and then files), 1 not found.
    static int Delete(TSQLiteDatabase& aDb, const std::string& aProductId);
    // 0 deleted (rows, then files), 1 the product had no picture.
    static int DeleteImageForProduct(TSQLiteDatabase& aDb, const std::string& aProductId);
    static void Move(TSQLiteDatabase& aDb, const std::string& aProductId, const std::string& aGroupId);
    // Every product and picture row, then every picture file they named.
    static void DeleteAllProduct(TSQLiteDatabase& aDb);
    static void DeleteAllImage(TSQLiteDatabase& aDb);
    // The id of the first product of that exact name; "" for none.
    static std::string GetProductIdByName(TSQLiteDatabase& aDb, const std::string& aName);

    static constexpr const char* kBadProductId = "产品ID无效";
};
