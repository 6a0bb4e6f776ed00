#include "ResType.h"

#include <array>

namespace {

struct TTypeTexts {
    std::string_view Short;
    std::string_view CheckName;
};

constexpr std::array<TTypeTexts, kResTypeCount> kTexts = {{
    {"Account", "账户"},
    {"AccMailFolder", "账户文件夹"},
    {"AccMail", "账户邮件"},
    {"AccAddrFolder", "账户地址簿文件夹"},
    {"AccAddrGroup", "账户地址簿分组"},
    {"AccAddrBook", "账户地址簿"},
    {"TemplateFolder", "模板文件夹"},
    {"Template", "模板"},
    {"LetterFolder", "信纸文件夹"},
    {"Letter", "信纸"},
    {"", "黑名单"},
    {"", "白名单"},
    {"", "过滤器"},
    {"", "签名"},
    {"", "秘书"},
    {"", "会话"},
    {"", "会话项"},
    {"", "产品分组"},
    {"", "产品"},
    {"", "产品图片"},
    {"", "账户推广模板文件夹"},
    {"promoteTemplate", "推广模板"},
    {"promoteTemplateItem", "推广模板项"},
    {"", "推广模板项图片"},
}};

} // namespace

std::string_view ResTypeShortText(TResType aType)
{
    return aType < kResTypeCount ? kTexts[aType].Short : std::string_view();
}

std::string_view ResTypeCheckName(TResType aType, bool aInPromotePath)
{
    if (aType == rtPromoteTemplate && aInPromotePath)
        return "账户推广模板";
    return aType < kResTypeCount ? kTexts[aType].CheckName : std::string_view();
}
