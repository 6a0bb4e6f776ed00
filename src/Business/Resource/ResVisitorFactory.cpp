#include "ResVisitorFactory.h"

#include "Runtime/Errors.h"
#include "Runtime/TextFormat.h"

#include <array>

namespace {

std::array<const TResVisitorFactoryBase*, kResVisitorFactorySlots> gFactories{};

} // namespace

TRcRef<IResVisitor> TResVisitorFactoryBase::CreateVisitor(TRcResIdList*) const
{
    throw EAbstractError();
}

TRcResPath* TResVisitorFactoryBase::GetSingleton(TRcResPath*) const
{
    return nullptr;
}

void RegisterResVisitorFactory(TResType aType, const TResVisitorFactoryBase* aFactory)
{
    if (gFactories[aType])
        throw Exception(FormatText("资源类型(%d) 的资源工厂已经注册了", {static_cast<int>(aType)}));
    if (!aFactory)
        throw Exception("资源工厂不能是 nil");
    gFactories[aType] = aFactory;
}

void UnRegisterResVisitorFactory(TResType aType)
{
    if (!gFactories[aType])
        throw Exception(FormatText("资源类型(%d) 的资源工厂没有注册", {static_cast<int>(aType)}));
    gFactories[aType] = nullptr;
}

const TResVisitorFactoryBase* ResVisitorFactoryOf(TResType aType)
{
    return gFactories[aType];
}
