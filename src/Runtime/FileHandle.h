// An owned POSIX file descriptor.
#pragma once

#include <unistd.h>
#include <utility>

class TFileHandle {
public:
    TFileHandle() = default;
    explicit TFileHandle(int aFd) : FFd(aFd) {}
    TFileHandle(TFileHandle&& aOther) noexcept : FFd(std::exchange(aOther.FFd, -1)) {}
    TFileHandle& operator=(TFileHandle&& aOther) noexcept
    {
        if (this != &aOther)
            Reset(std::exchange(aOther.FFd, -1));
        return *this;
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle() { Reset(); }

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    explicit operator bool() const { return Valid(); }
    void Reset(int aFd = -1)
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = aFd;
    }
    int Release() { return std::exchange(FFd, -1); }

private:
    int FFd = -1;
};
