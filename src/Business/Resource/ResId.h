// TRcResId: one typed identifier, such as an account or a mail. A value:
// immutable, shared by retain.
#pragma once

#include <string>

#include "ResType.h"
#include "Runtime/RcObject.h"

class TRcResId : public TRcObject {
public:
    TRcResId(TResType aType, std::string aId);
    static TRcResId* Create(TResType aType, std::string aId) { return new TRcResId(aType, std::move(aId)); }
    static TRcResId* CreateAndAutoRelease(TResType aType, std::string aId)
    {
        return RcCreateAndAutoRelease<TRcResId>(aType, std::move(aId));
    }

    TResType Type() const { return FType; }
    const std::string& Id() const { return FId; }
    bool IsType(TResType aType) const { return FType == aType; }

    // Same type and the very same id (case counts).
    bool Equals(const TRcObject* aObj) const override;
    int32_t HashCode() const override { return FHash; }
    // "Account:12"; ":12" for a type without a short text.
    std::string ToString() const override;

    // The hash of one identifier, continuing from aSeed; a path chains it.
    static int32_t HashOf(TResType aType, const std::string& aId, int32_t aSeed);

private:
    const TResType FType;
    const std::string FId;
    const int32_t FHash;
};
