#include "Product.h"

#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

TRcProductImage::TRcProductImage(std::string aId, TDateTime aCreateTime)
    : FResId(TRcRef<TRcResId>::Adopt(TRcResId::Create(rtProductImage, std::move(aId)))), FCreateTime(aCreateTime)
{
}

TRcProductImage* TRcProductImage::CreateEmptyProductImageAndAutoRelease()
{
    return RcCreateAndAutoRelease<TRcProductImage>(NewGuidId(), Now());
}

std::string TRcProductImage::ToString() const
{
    return FormatText("<id: %s>", {Id()});
}

TRcProduct::TRcProduct(std::string aId, TDateTime aCreateTime)
    : FResId(TRcRef<TRcResId>::Adopt(TRcResId::Create(rtProduct, std::move(aId)))),
      FImages(MakeRc<TRcProductImageList>()),
      FCreateTime(aCreateTime)
{
}

TRcProduct* TRcProduct::CreateEmptyProductAndAutoRelease()
{
    return RcCreateAndAutoRelease<TRcProduct>(NewGuidId(), Now());
}

std::string TRcProduct::ToString() const
{
    if (!FName.empty())
        return FName;
    return FormatText("<id: %s>", {Id()});
}
