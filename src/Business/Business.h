// TBusiness: builds and releases every manager of the business layer, in
// fixed orders kept as tables. Managers join the tables as they are built;
// they never register themselves through static initialisers (the linker
// drops unreferenced objects of static libraries).
#pragma once

#include <span>
#include <string>

#include "Resource/ResourceManager.h"
#include "Runtime/Singleton.h"

struct TBusinessCall {
    const char* Name;
    void (*Run)();   // does nothing when its manager is not built
};

struct TBusinessLifecycle {
    std::span<const TSingletonClass> Build;        // Init: build, in this order
    std::span<const TBusinessCall> InitCalls;      // Init: then call these
    std::span<const TBusinessCall> UnInitCalls;    // UnInit: first call these
    std::span<const TSingletonClass> Release;      // UnInit: then release these
};

class TBusiness : public TSingletonManager {
public:
    static constexpr const char* kCannotClear = "业务层已经初始化了，不能清除数据！";

    // The program's own orders.
    static const TBusinessLifecycle& Lifecycle();
    // The visitor factory of each resource type, which the resource
    // manager registers when it is built.
    static std::span<const TResVisitorFactoryEntry> VisitorFactories();

    // Builds every manager, then runs the init calls. When a step fails,
    // whatever was built is released again before the error goes on.
    static void Init();
    static void Init(const TBusinessLifecycle& aLifecycle);
    // Runs the uninit calls, then releases the managers in the release
    // order, and then any manager still built, last built first. Every step
    // runs even when one fails; the first failure is raised at the end.
    static void UnInit();
    static void UnInit(const TBusinessLifecycle& aLifecycle);
    static bool Initialized();

    // Removes the user's data; refused with "业务层已经初始化了，不能清除数据！"
    // while the business layer is built.
    static void ClearDataPathAllData();

    // A display text for what the path names, by the type of its last
    // identifier ("<nil>", "不存在", "<错误资源类型>" and the like when
    // there is nothing to name).
    static std::string ResourceToString(TRcResPath* aResPath);
    // The whole path for a log line: each element's display text in
    // quotes, joined with " -> ".
    static std::string PesPathToGoodString(TRcResPath* aResPath);

    // Whether the configuration asks for the data to be cleared at exit
    // after a data-version error.
    static bool ApplicationExitNeedClearAllData();
};
