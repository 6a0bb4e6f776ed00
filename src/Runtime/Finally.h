// A step that must run when a scope is left, however it is left: the end
// of an activity, the unregistering of a cancel. (For an undo that runs
// only on the error path, see ScopeGuard.h.)
#pragma once

#include <exception>
#include <typeinfo>
#include <utility>

#include "Log.h"
#include "TypeName.h"

// Calls aEnd when the scope is left, whatever happens.
template <class F>
class TFinally {
public:
    explicit TFinally(F aEnd) : FEnd(std::move(aEnd)) {}
    ~TFinally() noexcept(false)
    {
        // An exception already on its way keeps going; one from the end
        // step itself is raised only when there is none.
        if (std::uncaught_exceptions() > FUncaught) {
            try {
                FEnd();
            } catch (const std::exception& e) {
                TLog::O(lolError, "异常(%s)：%s", {DemangledName(typeid(e)), e.what()});
            }
        } else {
            FEnd();
        }
    }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    F FEnd;
    int FUncaught = std::uncaught_exceptions();
};

