// Singletons: one instance per manager class, built and released
// explicitly, in the orders that TBusiness and TUi keep as tables.
//
//   class TConfigManager : public TSingletonOf<TConfigManager> {
//   public:
//       static TConfigManager* ConfigManager() { return Instance(); }
//   };
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "Errors.h"

class TSingleton {
public:
    virtual ~TSingleton() = default;
    TSingleton(const TSingleton&) = delete;
    TSingleton& operator=(const TSingleton&) = delete;

    static constexpr const char* kAlreadyBuilt = "单例实例已经创建！";

protected:
    TSingleton() = default;
};

template <class T>
class TSingletonOf : public TSingleton {
public:
    // Builds the one instance; a second build before ReleaseInstance fails
    // with "单例实例已经创建！" and leaves the first in place. Impl may be a
    // subclass of T (a variant built in T's place); aArgs go to its
    // constructor.
    template <class Impl = T, class... TArgs>
    static void BuildInstance(TArgs&&... aArgs)
    {
        if (sInstance)
            throw Exception(kAlreadyBuilt);
        sInstance = new Impl(std::forward<TArgs>(aArgs)...);
    }
    // Clears the accessor first, then destroys, so the instance's own
    // tear-down already sees itself gone. Nothing happens when not built.
    static void ReleaseInstance()
    {
        std::unique_ptr<T> instance(std::exchange(sInstance, nullptr));
    }
    // The instance, or nullptr when it is not built.
    static T* Instance() { return sInstance; }

private:
    // Built and released on the main thread before any worker thread
    // starts and after all have stopped.
    static inline T* sInstance = nullptr;
};

// A singleton class as a value, for the build and release tables.
struct TSingletonClass {
    const char* Name;
    void (*BuildInstance)();
    void (*ReleaseInstance)();
    bool (*IsBuilt)();
};

template <class T>
constexpr TSingletonClass SingletonClassOf(const char* aName)
{
    return {aName, [] { T::BuildInstance(); }, [] { T::ReleaseInstance(); },
            [] { return T::Instance() != nullptr; }};
}

class TSingletonManager {
public:
    static void BuildSingleton(const TSingletonClass& aClass) { aClass.BuildInstance(); }
    static void ReleaseSingleton(const TSingletonClass& aClass) { aClass.ReleaseInstance(); }
};
