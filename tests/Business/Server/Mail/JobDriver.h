// Running mail_job_driver (MailJobDriver.cpp, beside the test programs)
// from a test: started, its event lines read, killed with SIGKILL at a
// chosen point.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "Runtime/FileHandle.h"

struct TJobDriver {
    pid_t Pid = -1;
    TFileHandle Output;   // its event lines
};

// aVerb: "receive" or "send". Its standard error goes to aErrors when
// given.
inline TJobDriver StartJobDriver(const std::filesystem::path& aData, const char* aVerb,
                                 const std::filesystem::path& aErrors = {})
{
    const std::filesystem::path driver =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "mail_job_driver";
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    TFileHandle read(pipe[0]);
    TFileHandle write(pipe[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, write.Get(), 1);
    if (!aErrors.empty())
        posix_spawn_file_actions_addopen(&actions, 2, aErrors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string program = driver.string();
    const std::string data = aData.string();
    char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(data.c_str()),
                          const_cast<char*>(aVerb), nullptr};
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + program);
    return {pid, std::move(read)};
}

// Its exit status; -1 when it was killed.
inline int WaitForJobDriver(TJobDriver& aDriver)
{
    int status = 0;
    ::waitpid(aDriver.Pid, &status, 0);
    aDriver.Pid = -1;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// Reads event lines until aKillAt of them came (then kills the driver) or
// it ends by itself (aKillAt 0: never killed). Its exit status, or -1 when
// it was killed.
inline int RunJobDriver(const std::filesystem::path& aData, const char* aVerb, int aKillAt)
{
    TJobDriver driver = StartJobDriver(aData, aVerb);
    int lines = 0;
    char buffer[4096];
    bool killed = false;
    for (ssize_t n; !killed && (n = ::read(driver.Output.Get(), buffer, sizeof buffer)) > 0;) {
        for (ssize_t i = 0; i < n && !killed; ++i)
            if (buffer[i] == '\n' && ++lines == aKillAt) {
                ::kill(driver.Pid, SIGKILL);
                killed = true;
            }
    }
    return WaitForJobDriver(driver);
}
