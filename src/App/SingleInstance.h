// One client per user: a lock file held for the whole run, and beside it a
// Unix-domain socket on which a second start asks the first to show its
// window.
#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>

#include "InstanceLock.h"

class QLocalServer;

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kShowRequest = "show";

    TSingleInstance();
    ~TSingleInstance() override;

    // Takes the instance lock; false when another instance holds it. When
    // no private runtime folder can be had, the check is skipped (true)
    // and a warning logged.
    bool Acquire();
    // Starts answering "show" requests with aOnShow (on the GUI thread).
    void Listen(std::function<void()> aOnShow);
    // Asks the running instance to show itself; false when it cannot be
    // reached.
    static bool SendShow();

    // $XDG_RUNTIME_DIR, else /tmp/quillmar-<uid> made private; empty when
    // neither can be trusted.
    static std::filesystem::path RuntimeFolder();

private:
    TInstanceLock FLock;
    std::unique_ptr<QLocalServer> FServer;
};
