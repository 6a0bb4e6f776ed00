#include "Certificate.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

int RunProgram(const std::vector<std::string>& aArgs, const std::filesystem::path& aLogFile)
{
    std::vector<char*> argv;
    for (const std::string& arg : aArgs)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, aLogFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TTestCertificate MakeSelfSignedCertificate(const std::filesystem::path& aFolder, const std::string& aName)
{
    TTestCertificate certificate{aFolder / (aName + ".crt"), aFolder / (aName + ".key")};
    const std::filesystem::path log = aFolder / "openssl.log";
    const int rc = RunProgram({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                               "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=" + aName,
                               "-addext", "subjectAltName=DNS:" + aName, "-keyout", certificate.KeyFile.string(),
                               "-out", certificate.CertFile.string()},
                              log);
    if (rc != 0) {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        throw std::runtime_error("openssl req failed (" + std::to_string(rc) + "): " + text.str());
    }
    return certificate;
}
