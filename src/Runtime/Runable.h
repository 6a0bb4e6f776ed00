// Work that runs elsewhere: on a worker thread, or later on the GUI thread.
#pragma once

#include <functional>

#include "RcObject.h"

class IRunable : public virtual IRcInterface {
public:
    virtual void Run() = 0;
};

// A runable that can be asked to stop; Cancel comes from another thread.
class IRunableCancel : public virtual IRcInterface {
public:
    virtual void Cancel() = 0;
};

// A runable that calls a stored procedure; the procedure carries whatever
// parameters it needs in its captures.
class TRcBlockDelayRunable : public TRcObject, public IRunable {
public:
    explicit TRcBlockDelayRunable(std::function<void()> aProc) : FProc(std::move(aProc)) {}
    static TRcBlockDelayRunable* CreateAndAutoRelease(std::function<void()> aProc)
    {
        return RcCreateAndAutoRelease<TRcBlockDelayRunable>(std::move(aProc));
    }
    void Run() override
    {
        if (FProc)
            FProc();
    }

private:
    std::function<void()> FProc;
};
