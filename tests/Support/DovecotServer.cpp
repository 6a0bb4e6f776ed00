#include "DovecotServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";

struct TFd {
    int Fd;
    explicit TFd(int aFd) : Fd(aFd) {}
    ~TFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

int BoundPort(const TFd& aSocket)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(aSocket.Fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(aSocket.Fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("no free loopback port");
    return ntohs(address.sin_port);
}

// Connects to a loopback port and reads what arrives within a moment.
bool Answers(int aPort, bool aNeedGreeting)
{
    TFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    timeval wait{1, 0};
    ::setsockopt(socket.Fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(aPort));
    if (::connect(socket.Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return false;
    if (!aNeedGreeting)
        return true;
    char greeting[4] = {};
    return ::recv(socket.Fd, greeting, 3, MSG_WAITALL) == 3 && std::string(greeting) == "+OK";
}

void WriteFile(const fs::path& aPath, std::string_view aText, mode_t aMode)
{
    {
        std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
        out.write(aText.data(), static_cast<std::streamsize>(aText.size()));
        if (!out.flush())
            throw std::runtime_error("cannot write " + aPath.string());
    }
    ::chmod(aPath.c_str(), aMode);
}

} // namespace

TDovecotServer::TDovecotServer()
{
    if (::access(kDovecot, X_OK) != 0)
        throw std::runtime_error("Dovecot is not installed (package dovecot-pop3d; ./build.sh test installs it)");
    // mkdtemp makes 0700 folders; the mail user must get through to its home.
    ::chmod(FFolder.c_str(), 0755);
    fs::create_directory(FFolder / "home");
    ::chmod((FFolder / "home").c_str(), 0755);

    if (::geteuid() == 0) {
        // Mail processes never run as root: an unprivileged system user
        // owns the Maildirs.
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody)
            throw std::runtime_error("no user 'nobody' for the mail processes");
        FMailUid = nobody->pw_uid;
        FMailGid = nobody->pw_gid;
    } else {
        FMailUid = ::getuid();
        FMailGid = ::getgid();
    }

    FCertificate = MakeSelfSignedCertificate(FFolder, "localhost");
    {
        // Both sockets stay open until both ports are known, so they differ.
        TFd plain(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        TFd tls(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        FPlainPort = BoundPort(plain);
        FTlsPort = BoundPort(tls);
    }
    fs::create_directory(FFolder / "passwd");
    ::chmod((FFolder / "passwd").c_str(), 0755);
    WriteConfiguration();
    Launch();
    WaitUntilReady();
}

TDovecotServer::~TDovecotServer()
{
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        int status = 0;
        while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

fs::path TDovecotServer::Home(const std::string& aUser) const
{
    return FFolder / "home" / aUser;
}

void TDovecotServer::WriteConfiguration() const
{
    const std::string folder = FFolder.string();
    std::ostringstream conf;
    conf << "protocols = pop3\n"
         << "listen = 127.0.0.1\n"
         << "base_dir = " << folder << "/run\n"
         << "state_dir = " << folder << "/state\n"
         << "instance_name = " << FFolder.filename().string() << "\n"
         << "log_path = " << folder << "/dovecot.log\n"
         << "ssl = yes\n"
         << "ssl_cert = <" << FCertificate.CertFile.string() << "\n"
         << "ssl_key = <" << FCertificate.KeyFile.string() << "\n"
         << "disable_plaintext_auth = no\n"
         // Wrong-password tests must not be slowed down.
         << "auth_failure_delay = 0\n"
         << "auth_verbose = yes\n"
         << "mail_location = maildir:~/Maildir\n"
         // The uid of a message is its Maildir file name, so tests know it.
         << "pop3_uidl_format = %f\n"
         << "mail_fsync = never\n"
         << "first_valid_uid = 1\n"
         // One passwd file per user: Dovecot looks at a passwd file at most
         // once a second, so a user appended to a shared file right after a
         // login would stay unknown for up to a second.
         << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " << folder << "/passwd/%u\n}\n"
         << "userdb {\n  driver = passwd-file\n  args = username_format=%u " << folder << "/passwd/%u\n}\n"
         << "service pop3-login {\n"
         << "  inet_listener pop3 {\n    port = " << FPlainPort << "\n  }\n"
         << "  inet_listener pop3s {\n    port = " << FTlsPort << "\n    ssl = yes\n  }\n"
         // One long-lived login process, started at once: fast connections.
         << "  service_count = 0\n  process_min_avail = 1\n";
    if (::geteuid() != 0)
        conf << "  chroot =\n";
    conf << "}\n"
         // Failed logins are not slowed down per address.
         << "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n";
    if (::geteuid() != 0)
        conf << "  chroot =\n";
    conf << "}\n";
    if (::geteuid() == 0) {
        conf << "default_internal_user = dovecot\n"
             << "default_login_user = dovenull\n";
    } else {
        const passwd* me = ::getpwuid(::getuid());
        const group* myGroup = ::getgrgid(::getgid());
        conf << "default_internal_user = " << (me ? me->pw_name : "nobody") << "\n"
             << "default_login_user = " << (me ? me->pw_name : "nobody") << "\n"
             << "default_internal_group = " << (myGroup ? myGroup->gr_name : "nogroup") << "\n";
    }
    WriteFile(FFolder / "dovecot.conf", conf.str(), 0644);
}

void TDovecotServer::Launch()
{
    const std::string conf = (FFolder / "dovecot.conf").string();
    const std::string out = (FFolder / "dovecot.out").string();
    const pid_t parent = ::getpid();
    FPid = ::fork();
    if (FPid < 0)
        throw std::runtime_error("fork failed");
    if (FPid == 0) {
        // Dies with the test process, whatever ends it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        const int log = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        ::execl(kDovecot, "dovecot", "-F", "-c", conf.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
}

void TDovecotServer::WaitUntilReady()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            throw std::runtime_error("Dovecot stopped at start:\n" + Log());
        }
        if (Answers(FPlainPort, true) && Answers(FTlsPort, false))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("Dovecot did not answer within 20 s:\n" + Log());
}

std::string TDovecotServer::Log() const
{
    std::string text;
    for (const char* name : {"dovecot.out", "dovecot.log"}) {
        std::ifstream in(FFolder / name);
        std::stringstream content;
        content << in.rdbuf();
        text += std::string("== ") + name + "\n" + content.str();
    }
    return text;
}

void TDovecotServer::AddUser(const std::string& aName, const std::string& aPassword)
{
    const fs::path home = Home(aName);
    for (const fs::path& dir : {home, home / "Maildir", home / "Maildir" / "new", home / "Maildir" / "cur",
                                home / "Maildir" / "tmp"}) {
        fs::create_directories(dir);
        ::chmod(dir.c_str(), 0700);
        if (::chown(dir.c_str(), FMailUid, FMailGid) != 0)
            throw std::runtime_error("cannot give " + dir.string() + " to the mail user");
    }
    std::ostringstream entry;
    entry << aName << ":{PLAIN}" << aPassword << ":" << FMailUid << ":" << FMailGid << "::" << home.string() << "::\n";
    WriteFile(FFolder / "passwd" / aName, entry.str(), 0644);
}

std::string TDovecotServer::Deliver(const std::string& aUser, std::string_view aMessage)
{
    const fs::path maildir = Home(aUser) / "Maildir";
    const std::string name = std::to_string(::time(nullptr)) + ".M" + std::to_string(++FDelivered) + "P" +
                             std::to_string(::getpid()) + ".quillmar-test";
    const fs::path temporary = maildir / "tmp" / name;
    WriteFile(temporary, aMessage, 0600);
    if (::chown(temporary.c_str(), FMailUid, FMailGid) != 0)
        throw std::runtime_error("cannot give " + temporary.string() + " to the mail user");
    fs::rename(temporary, maildir / "new" / name);
    return name;
}
