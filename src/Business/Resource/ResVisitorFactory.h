// Visitor factories: one per resource type, each knowing which paths it
// accepts and which manager lists the children. The registry has a slot
// per type; it is filled by explicit calls while the business layer
// starts (never by static initialisers) and read without locks afterwards.
#pragma once

#include "ListOpertion.h"
#include "ResType.h"
#include "ResVisitor.h"

class TResVisitorFactoryBase {
public:
    virtual ~TResVisitorFactoryBase() = default;

    // A visitor over the children of aPath, or nullptr when the path does
    // not have the shape this factory accepts.
    virtual TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const = 0;
    // Wraps an existing identifier list; EAbstractError unless overridden.
    virtual TRcRef<IResVisitor> CreateVisitor(TRcResIdList* aResIdList) const;
    // The path of the single standard child of this type under aPath;
    // nullptr unless overridden.
    virtual TRcResPath* GetSingleton(TRcResPath* aPath) const;
};

inline constexpr int kResVisitorFactorySlots = 128;

// Throws "资源类型(%d) 的资源工厂已经注册了" or "资源工厂不能是 nil".
// The factory must outlive its registration.
void RegisterResVisitorFactory(TResType aType, const TResVisitorFactoryBase* aFactory);
// Throws "资源类型(%d) 的资源工厂没有注册".
void UnRegisterResVisitorFactory(TResType aType);
// nullptr when none is registered.
const TResVisitorFactoryBase* ResVisitorFactoryOf(TResType aType);
