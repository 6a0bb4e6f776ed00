// The lock that keeps two programs off one user's mail at once — the
// client and quillmar-cli alike: two schedulers on one data folder could
// send a queued mail twice. A file in the user's private runtime folder,
// held with flock for the whole run; its holder writes its name and
// process id into it, so a program that finds it taken can say who has
// it.
#pragma once

#include <filesystem>
#include <string>

#include "Runtime/FileHandle.h"

class TInstanceLock {
public:
    static constexpr const char* kLockName = "quillmar.lock";

    // Takes the lock for aProgram ("quillmar", "quillmar-cli"); false when
    // another holds it. Without a private runtime folder (or a lock file
    // that cannot be opened) the check is skipped: true, and a warning
    // logged.
    bool Acquire(const std::string& aProgram);
    bool Held() const { return FLock.Valid(); }

    // "quillmar-cli (pid 123)": who holds the lock, as it wrote itself
    // down; empty when unknown.
    static std::string Holder();

    // $XDG_RUNTIME_DIR, else /tmp/quillmar-<uid> made private; empty when
    // neither can be trusted.
    static std::filesystem::path RuntimeFolder();

private:
    TFileHandle FLock;
};
