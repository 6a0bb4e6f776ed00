#include "SmtpServer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

extern char** environ;

namespace {

std::string ReadText(const fs::path& aFile)
{
    std::ifstream in(aFile, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Written whole under a temporary name, then renamed: the server never
// reads half a script.
void WriteAtomically(const fs::path& aFile, const std::string& aText)
{
    const fs::path temporary = aFile.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << aText;
    }
    fs::rename(temporary, aFile);
}

} // namespace

TSmtpTestServer::TSmtpTestServer(int aPlainPort)
{
    FCertificate = MakeSelfSignedCertificate(FFolder, "localhost");
    if (aPlainPort)
        WriteAtomically(FFolder / "plain_port", std::to_string(aPlainPort));
    WriteAtomically(FFolder / "script.json", "{}");
    std::ofstream(FFolder / "users").close();

    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    TFileHandle read(input[0]);
    FInput = TFileHandle(input[1]);
    const std::string script = fs::path(QUILLMAR_TESTS_SUPPORT_DIR) / "smtp_server.py";
    const std::string out = (FFolder / "server.out").string();
    const std::string folder = FFolder.string(), cert = FCertificate.CertFile.string(),
                      key = FCertificate.KeyFile.string();
    char* const argv[] = {const_cast<char*>("/usr/bin/python3"), const_cast<char*>(script.c_str()),
                          const_cast<char*>(folder.c_str()), const_cast<char*>(cert.c_str()),
                          const_cast<char*>(key.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, read.Get(), 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int error = ::posix_spawn(&FPid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start /usr/bin/python3 (package python3-aiosmtpd)");

    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        if (fs::exists(FFolder / "ports", ec)) {
            std::istringstream ports(ReadText(FFolder / "ports"));
            ports >> FPlainPort >> FTlsPort;
            return;
        }
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            throw std::runtime_error("the SMTP server stopped at start:\n" + Log());
        }
        std::this_thread::sleep_for(20ms);
    }
    throw std::runtime_error("the SMTP server did not listen within 20 s:\n" + Log());
}

TSmtpTestServer::~TSmtpTestServer()
{
    FInput = TFileHandle();   // end of its standard input: it stops
    if (FPid <= 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    int status = 0;
    while (::waitpid(FPid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
}

void TSmtpTestServer::AddUser(const std::string& aName, const std::string& aPassword)
{
    std::ofstream(FFolder / "users", std::ios::app) << aName << ' ' << aPassword << '\n';
}

void TSmtpTestServer::SetScript(const std::string& aJson)
{
    WriteAtomically(FFolder / "script.json", aJson);
}

std::vector<TSmtpTestServer::TMessage> TSmtpTestServer::Messages() const
{
    std::vector<TMessage> messages;
    for (int n = 1;; ++n) {
        const fs::path base = FFolder / "mail" / std::to_string(n);
        std::error_code ec;
        if (!fs::exists(base.string() + ".json", ec))
            break;
        const auto envelope = nlohmann::json::parse(ReadText(base.string() + ".json"));
        TMessage message;
        message.From = envelope.value("from", "");
        message.To = envelope.value("to", std::vector<std::string>{});
        message.Login = envelope.value("login", "");
        message.Data = ReadText(base.string() + ".eml");
        messages.push_back(std::move(message));
    }
    return messages;
}

std::vector<TSmtpTestServer::TMessage> TSmtpTestServer::WaitForMessages(std::size_t aCount) const
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    auto messages = Messages();
    while (messages.size() < aCount && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        messages = Messages();
    }
    return messages;
}

std::string TSmtpTestServer::Log() const
{
    return "== smtp server\n" + ReadText(FFolder / "server.out");
}
