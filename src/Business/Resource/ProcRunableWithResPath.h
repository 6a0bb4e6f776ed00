// Carries an observer notification and its path to the GUI thread: the
// runable keeps the path alive until the procedure has run there.
#pragma once

#include <functional>

#include "ResPath.h"
#include "Runtime/RcRef.h"
#include "Runtime/Runable.h"

class TRcProcRunableWithResPath : public TRcObject, public IRunable {
public:
    explicit TRcProcRunableWithResPath(std::function<void(TRcResPath*)> aProc) : FProc(std::move(aProc)) {}

    void SetResPath(TRcResPath* aResPath) { FResPath = TRcRef<TRcResPath>::Retain(aResPath); }
    TRcResPath* ResPath() const { return FResPath.Get(); }

    void Run() override
    {
        if (FProc)
            FProc(FResPath.Get());
    }

private:
    TRcRef<TRcResPath> FResPath;
    std::function<void(TRcResPath*)> FProc;
};
