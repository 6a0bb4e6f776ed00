// Promotion templates: a named selection of catalogue products, each with
// up to three of its pictures, and a promotional text, from which a
// promotion mail is built. Templates belong to a mail account and live in
// its Account.db: the template rows, one item row per product and one row
// per chosen picture of an item.
#pragma once

#include <string>

#include "Business/Resource/ResId.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcList.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

// The one promotion-template folder every account has.
inline constexpr const char* kPromoteTemplateFolderId = "5D1A59AD84A3459B856D447808DC9AB8";

class TRcPromoteTemplateItemImage : public TRcObject {
public:
    TRcPromoteTemplateItemImage() = delete;   // made with its identity
    TRcPromoteTemplateItemImage(std::string aId, TDateTime aCreateTime);
    // Fresh id, created now.
    static TRcPromoteTemplateItemImage* CreateEmptypromoteTemplateItemImage();   // autoreleased

    const std::string& Id() const { return FResId->Id(); }
    std::string ToString() const override;

    TRcRef<TRcResId> FResId;   // rtPromoteTemplateItemImage
    int FserialNumber = 0;     // 1-based among the item's pictures, set when saved
    std::string FPromoteTemplateItemId;
    std::string FProductImageId;
    bool FDeleteFlag = false;
    TDateTime FCreateTime = 0;
    TDateTime FModifyTime = 0;
    TDateTime FDeleteTime = 0;
};

using TRcPromoteTemplateItemImageList = TRcList<TRcPromoteTemplateItemImage>;

class TRcPromoteTemplateItem : public TRcObject {
public:
    TRcPromoteTemplateItem() = delete;
    TRcPromoteTemplateItem(std::string aId, TDateTime aCreateTime);
    // Fresh id, created now, no pictures.
    static TRcPromoteTemplateItem* CreateEmptyPromoteTemplateItem();   // autoreleased

    const std::string& Id() const { return FResId->Id(); }
    std::string ToString() const override;

    TRcRef<TRcResId> FResId;   // rtPromoteTemplateItem
    int FserialNumber = 0;     // 1-based in the template, set when saved
    std::string FPromoteTemplateId;
    std::string FProductId;
    TRcRef<TRcPromoteTemplateItemImageList> FProductImages;
    bool FDeleteFlag = false;
    TDateTime FCreateTime = 0;
    TDateTime FModifyTime = 0;
    TDateTime FDeleteTime = 0;
};

using TRcPromoteTemplateItemList = TRcList<TRcPromoteTemplateItem>;

class TRcPromoteTemplate : public TRcObject {
public:
    TRcPromoteTemplate() = delete;
    TRcPromoteTemplate(std::string aId, TDateTime aCreateTime);
    // Fresh id, created now, no items.
    static TRcPromoteTemplate* CreateEmptyPromoteTemplate();   // autoreleased

    const std::string& Id() const { return FResId->Id(); }
    std::string ToString() const override;

    TRcRef<TRcResId> FResId;   // rtPromoteTemplate
    // Also the subject of the mails made from the template.
    std::string FName;
    std::string FPromotionContent;
    TRcRef<TRcPromoteTemplateItemList> FItems;   // in display order
    TDateTime FCreateTime = 0;
    TDateTime FModifyTime = 0;
    TDateTime FDeleteTime = 0;
    // Stored and loaded, never set: deleting removes the rows.
    bool FDeleteFlag = false;
};
