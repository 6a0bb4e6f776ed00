// TRcResPath: the path of typed identifiers that names a stored object,
// from the outermost container to the object (an account, one of its
// folders, a mail). A value: every operation that would change it makes a
// new path. Its text form is "\Account:A\AccMailFolder:F\AccMail:M".
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "ResId.h"
#include "Runtime/RcList.h"

class TRcResPath : public TRcObject {
public:
    explicit TRcResPath(std::initializer_list<TRcResId*> aResIds);
    explicit TRcResPath(const std::vector<TRcResId*>& aResIds);
    // aPath's identifiers followed by aResIds.
    TRcResPath(const TRcResPath* aPath, std::initializer_list<TRcResId*> aResIds);

    static TRcResPath* Create(std::initializer_list<TRcResId*> aResIds) { return new TRcResPath(aResIds); }
    static TRcResPath* CreateAndAutoRelease(std::initializer_list<TRcResId*> aResIds)
    {
        return RcCreateAndAutoRelease<TRcResPath>(aResIds);
    }
    static TRcResPath* CreateByPath(const TRcResPath* aPath, std::initializer_list<TRcResId*> aResIds)
    {
        return new TRcResPath(aPath, aResIds);
    }
    static TRcResPath* CreateByPathAndAutoRelease(const TRcResPath* aPath, std::initializer_list<TRcResId*> aResIds)
    {
        return RcCreateAndAutoRelease<TRcResPath>(aPath, aResIds);
    }

    int Count() const { return static_cast<int>(FResIds.size()); }
    // Not retained for the caller; an index outside the path throws.
    TRcResId* At(int aIndex) const;
    TRcResId* GetResId(int aIndex) const { return At(aIndex); }
    TRcResId* Last() const { return FResIds.empty() ? nullptr : FResIds.back(); }

    // Autoreleased new paths.
    TRcResPath* Append(TRcResId* aResId) const;
    // nullptr for fewer than two elements.
    TRcResPath* ParentPath() const;
    // nullptr for aLength <= 0; this very path when aLength >= Count.
    TRcResPath* LeftPath(int aLength);

    bool Equals(const TRcObject* aObj) const override;
    int32_t HashCode() const override { return FHash; }
    std::string ToString() const override;

protected:
    ~TRcResPath() override;

private:
    void Adopt(TRcResId* aResId);
    int32_t ComputeHash() const;

    std::vector<TRcResId*> FResIds;
    int32_t FHash = 0;
};

using TRcResIdList = TRcList<TRcResId>;
using TRcResPathList = TRcList<TRcResPath>;

// nullptr for a nil, empty or non-account path; the path itself when it is
// just the account; otherwise the account's path (autoreleased).
TRcResPath* AccountResPathOf(TRcResPath* aPath);
// Two elements, and the last id is not blank.
bool IsAccountSignResPath(const TRcResPath* aPath);
