#include "ResId.h"

#include "Runtime/Lookup3.h"
#include "Runtime/TextConvert.h"

TRcResId::TRcResId(TResType aType, std::string aId)
    : FType(aType), FId(std::move(aId)), FHash(HashOf(FType, FId, 0))
{
}

int32_t TRcResId::HashOf(TResType aType, const std::string& aId, int32_t aSeed)
{
    const uint8_t type = aType;
    const int32_t typeHash = ResHash(&type, 1, static_cast<uint32_t>(aSeed));
    // The id hashes as UTF-16 little-endian bytes.
    const std::u16string units = Utf8ToUtf16(aId);
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return ResHash(bytes.data(), bytes.size(), static_cast<uint32_t>(typeHash));
}

bool TRcResId::Equals(const TRcObject* aObj) const
{
    if (aObj == this)
        return true;
    const auto* other = dynamic_cast<const TRcResId*>(aObj);
    return other && other->FType == FType && other->FId == FId;
}

std::string TRcResId::ToString() const
{
    return std::string(ResTypeShortText(FType)) + ":" + FId;
}
