// The product catalogue's records: a product (name, model, price, stock,
// remarks) with its pictures. One catalogue serves every account; it lives
// in Product/Product.db under the data folder, its pictures as plain files
// in Product/Image/ named by the picture's id.
#pragma once

#include <string>

#include "Business/Resource/ResId.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcList.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

class TSQLiteUniTable;

class TRcProductImage : public TRcObject {
public:
    TRcProductImage() = delete;   // a picture is made with its identity
    TRcProductImage(std::string aId, TDateTime aCreateTime);
    // A new picture: a fresh id, created now.
    static TRcProductImage* CreateEmptyProductImageAndAutoRelease();

    const std::string& Id() const { return FResId->Id(); }
    std::string ToString() const override;

    TRcRef<TRcResId> FResId;   // rtProductImage
    // The name under which the product screen shows the picture.
    std::string FImageName;
    // The picture's file: for a stored picture the file in the image
    // folder named by its id; for one just chosen, the chosen file until
    // the product is saved.
    std::string FFileName;
    TDateTime FCreateTime = 0;
    TDateTime FModifiedTime = 0;
};

using TRcProductImageList = TRcList<TRcProductImage>;

class TRcProduct : public TRcObject {
public:
    TRcProduct() = delete;   // a product is made with its identity
    TRcProduct(std::string aId, TDateTime aCreateTime);
    // A new product: a fresh id, created now, no pictures.
    static TRcProduct* CreateEmptyProductAndAutoRelease();

    const std::string& Id() const { return FResId->Id(); }
    std::string ToString() const override;

    TRcRef<TRcResId> FResId;   // rtProduct
    std::string FGroupId;      // as loaded; saving takes the group from the path
    std::string FName;
    TRcRef<TRcProductImageList> FImages;
    std::string FModel;
    double FPrice = 0;
    double FInventory = 0;
    std::string FRemarks;
    TDateTime FCreateTime = 0;
    TDateTime FModifiedTime = 0;
};

// How a listing of products treats the product screen's two pseudo-groups:
// the group of every product and the group of the ungrouped ones.
class TProductOpertion : public TRcObject {
public:
    TProductOpertion(std::string aAllProductId, std::string aNoGroupProductId)
        : FAllProductId(std::move(aAllProductId)), FNoGroupProductId(std::move(aNoGroupProductId))
    {
    }

    std::string FAllProductId;
    std::string FNoGroupProductId;
};

// The product screen's pseudo-group ids; never stored as rows.
inline constexpr const char* kAllProductGroupId = "7101F605CA604F78B9914E3001937DE3";
inline constexpr const char* kNoGroupProductGroupId = "B1538169EBF147308F47A4925B2184B1";
