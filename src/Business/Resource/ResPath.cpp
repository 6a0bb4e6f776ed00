#include "ResPath.h"

#include "Runtime/Errors.h"

TRcResPath::TRcResPath(std::initializer_list<TRcResId*> aResIds)
{
    for (TRcResId* id : aResIds)
        Adopt(id);
    FHash = ComputeHash();
}

TRcResPath::TRcResPath(const std::vector<TRcResId*>& aResIds)
{
    for (TRcResId* id : aResIds)
        Adopt(id);
    FHash = ComputeHash();
}

TRcResPath::TRcResPath(const TRcResPath* aPath, std::initializer_list<TRcResId*> aResIds)
{
    if (aPath)
        for (TRcResId* id : aPath->FResIds)
            Adopt(id);
    for (TRcResId* id : aResIds)
        Adopt(id);
    FHash = ComputeHash();
}

TRcResPath::~TRcResPath()
{
    for (TRcResId*& id : FResIds)
        ReleaseAndNil(id);
}

void TRcResPath::Adopt(TRcResId* aResId)
{
    FResIds.push_back(RcRetain(aResId));
}

int32_t TRcResPath::ComputeHash() const
{
    int32_t hash = 0;
    for (const TRcResId* id : FResIds)
        if (id)
            hash = TRcResId::HashOf(id->Type(), id->Id(), hash);
    return hash;
}

TRcResId* TRcResPath::At(int aIndex) const
{
    if (aIndex < 0 || aIndex >= Count())
        throw EArgumentOutOfRange();
    return FResIds[static_cast<std::size_t>(aIndex)];
}

TRcResPath* TRcResPath::Append(TRcResId* aResId) const
{
    return CreateByPathAndAutoRelease(this, {aResId});
}

TRcResPath* TRcResPath::ParentPath() const
{
    if (Count() < 2)
        return nullptr;
    return RcCreateAndAutoRelease<TRcResPath>(std::vector<TRcResId*>(FResIds.begin(), FResIds.end() - 1));
}

TRcResPath* TRcResPath::LeftPath(int aLength)
{
    if (aLength <= 0)
        return nullptr;
    if (aLength >= Count())
        return this;
    return RcCreateAndAutoRelease<TRcResPath>(std::vector<TRcResId*>(FResIds.begin(), FResIds.begin() + aLength));
}

bool TRcResPath::Equals(const TRcObject* aObj) const
{
    if (aObj == this)
        return true;
    const auto* other = dynamic_cast<const TRcResPath*>(aObj);
    if (!other || other->FResIds.size() != FResIds.size())
        return false;
    for (std::size_t i = 0; i < FResIds.size(); ++i)
        if (!RcEquals(FResIds[i], other->FResIds[i]))
            return false;
    return true;
}

std::string TRcResPath::ToString() const
{
    std::string text = "\\";
    for (std::size_t i = 0; i < FResIds.size(); ++i) {
        if (i > 0)
            text += '\\';
        const std::string element = FResIds[i] ? FResIds[i]->ToString() : "nil";
        for (char c : element) {
            if (c == '\\')
                text += '\\';
            text += c;
        }
    }
    return text;
}

TRcResPath* AccountResPathOf(TRcResPath* aPath)
{
    if (!aPath || aPath->Count() == 0 || !aPath->At(0) || !aPath->At(0)->IsType(rtAccount))
        return nullptr;
    return aPath->LeftPath(1);
}

bool IsAccountSignResPath(const TRcResPath* aPath)
{
    if (!aPath || aPath->Count() != 2 || !aPath->Last())
        return false;
    const std::string& id = aPath->Last()->Id();
    return id.find_first_not_of(" \t\r\n") != std::string::npos;
}
