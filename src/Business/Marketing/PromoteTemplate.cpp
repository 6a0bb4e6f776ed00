#include "PromoteTemplate.h"

#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

namespace {

TRcRef<TRcResId> ResIdOf(TResType aType, std::string aId)
{
    return TRcRef<TRcResId>::Adopt(TRcResId::Create(aType, std::move(aId)));
}

} // namespace

TRcPromoteTemplateItemImage::TRcPromoteTemplateItemImage(std::string aId, TDateTime aCreateTime)
    : FResId(ResIdOf(rtPromoteTemplateItemImage, std::move(aId))), FCreateTime(aCreateTime)
{
}

TRcPromoteTemplateItemImage* TRcPromoteTemplateItemImage::CreateEmptypromoteTemplateItemImage()
{
    return RcCreateAndAutoRelease<TRcPromoteTemplateItemImage>(NewGuidId(), Now());
}

std::string TRcPromoteTemplateItemImage::ToString() const
{
    return FormatText("<id: %s>", {Id()});
}

TRcPromoteTemplateItem::TRcPromoteTemplateItem(std::string aId, TDateTime aCreateTime)
    : FResId(ResIdOf(rtPromoteTemplateItem, std::move(aId))),
      FProductImages(MakeRc<TRcPromoteTemplateItemImageList>()),
      FCreateTime(aCreateTime)
{
}

TRcPromoteTemplateItem* TRcPromoteTemplateItem::CreateEmptyPromoteTemplateItem()
{
    return RcCreateAndAutoRelease<TRcPromoteTemplateItem>(NewGuidId(), Now());
}

std::string TRcPromoteTemplateItem::ToString() const
{
    return FormatText("<id: %s>", {Id()});
}

TRcPromoteTemplate::TRcPromoteTemplate(std::string aId, TDateTime aCreateTime)
    : FResId(ResIdOf(rtPromoteTemplate, std::move(aId))),
      FItems(MakeRc<TRcPromoteTemplateItemList>()),
      FCreateTime(aCreateTime)
{
}

TRcPromoteTemplate* TRcPromoteTemplate::CreateEmptyPromoteTemplate()
{
    return RcCreateAndAutoRelease<TRcPromoteTemplate>(NewGuidId(), Now());
}

std::string TRcPromoteTemplate::ToString() const
{
    if (!FName.empty())
        return FName;
    return FormatText("<id: %s>", {Id()});
}
