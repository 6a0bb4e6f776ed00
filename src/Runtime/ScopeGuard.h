// Undoing a half-done step on the error path, written once: the action
// runs when the scope is left by an exception, and only then. The action
// must not raise (it runs while an exception is on its way).
//
//   const TOnFailure closeOnError([this]() noexcept { Abandon(); });
#pragma once

#include <exception>
#include <utility>

template <class F>
class TOnFailure {
public:
    explicit TOnFailure(F aAction) : FAction(std::move(aAction)) {}
    ~TOnFailure()
    {
        if (std::uncaught_exceptions() > FExceptions)
            FAction();
    }
    TOnFailure(const TOnFailure&) = delete;
    TOnFailure& operator=(const TOnFailure&) = delete;

private:
    F FAction;
    int FExceptions = std::uncaught_exceptions();
};
