// The client as a user starts it: the real binary in a folder of its own,
// with its own HOME and XDG folders, so runs never share a lock or data.
#include "Support/FakeServerEnvironment.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kSeparator(40, '=');

class TSandbox {
public:
    // aRuntime: share another sandbox's runtime folder (its instance lock).
    explicit TSandbox(const fs::path& aRuntime = {})
    {
        for (const char* folder : {"prog/skin", "home", "data", "state", "config"})
            fs::create_directories(Root / folder);
        if (aRuntime.empty()) {
            // Socket paths are short: the runtime folder lives in /tmp.
            FRuntime = std::make_unique<TScratchFolder>("qm-rt", "/tmp");
            Runtime = FRuntime->Path();
        } else {
            Runtime = aRuntime;
        }
        for (const auto& [from, name] : {std::pair<fs::path, const char*>{QUILLMAR_CLIENT_PATH, "quillmar"},
                                         {QUILLMAR_CLI_PATH, "quillmar-cli"}}) {
            std::error_code ec;
            fs::create_hard_link(from, Prog() / name, ec);
            if (ec)
                fs::copy_file(from, Prog() / name);
        }
        WriteConfig("[Log]\nLogToMode=File\nLogOutLevel=Info\n");
        fs::copy(fs::path(QUILLMAR_CLIENT_PATH).parent_path() / "skin", Prog() / "skin",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    ~TSandbox()
    {
        for (pid_t pid : FChildren)
            if (::kill(pid, 0) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
    }

    fs::path Prog() const { return Root / "prog"; }
    fs::path DefaultDataFolder() const { return Root / "data" / "Quillmar 3 Mail"; }
    void WriteConfig(const std::string& aText) const { std::ofstream(Prog() / "QuillmarClient.cfg") << aText; }

    pid_t Start(const std::vector<std::string>& aArgs, const std::map<std::string, std::string>& aEnv = {},
                const char* aProgram = "quillmar")
    {
        std::map<std::string, std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string entry(*e);
            const auto eq = entry.find('=');
            if (eq != std::string::npos)
                env[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        env.erase("QMC2FOLDER");
        env["HOME"] = (Root / "home").string();
        env["XDG_RUNTIME_DIR"] = Runtime.string();
        env["XDG_DATA_HOME"] = (Root / "data").string();
        env["XDG_STATE_HOME"] = (Root / "state").string();
        env["XDG_CONFIG_HOME"] = (Root / "config").string();
        env["QT_QPA_PLATFORM"] = "offscreen";
        for (const auto& [key, value] : aEnv)
            env[key] = value;

        std::vector<std::string> envText;
        for (const auto& [key, value] : env)
            envText.push_back(key + "=" + value);
        std::vector<char*> envp, argv;
        for (auto& entry : envText)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = (Prog() / aProgram).string();
        std::vector<std::string> args = aArgs;
        argv.push_back(program.data());
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string output = (Root / "output.txt").string();
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0) << std::strerror(rc);
        FChildren.push_back(pid);
        return pid;
    }

    // The exit code, or -1 (after a kill) when the program outlives aTimeout.
    static int WaitExit(pid_t aPid, std::chrono::milliseconds aTimeout = 30s)
    {
        const auto deadline = std::chrono::steady_clock::now() + aTimeout;
        int status = 0;
        while (::waitpid(aPid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(aPid, SIGKILL);
                ::waitpid(aPid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The messages of every log line, in file order, without stamp and thread.
    std::vector<std::string> LogLines() const
    {
        std::vector<std::string> lines;
        if (!fs::exists(Prog() / "Log"))
            return lines;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(Prog() / "Log"))
            files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            std::ifstream in(file);
            for (std::string line; std::getline(in, line);) {
                // The scheduler thread logs whenever it wakes: not part of
                // the entry sequence.
                if (line.find(" 收发邮件调度执行器[") != std::string::npos)
                    continue;
                const auto cut = line.find("]  ");
                lines.push_back(cut == std::string::npos ? line : line.substr(cut + 3));
            }
        }
        return lines;
    }

    bool WaitForLine(const std::string& aMessage, std::chrono::milliseconds aTimeout = 30s) const
    {
        const auto deadline = std::chrono::steady_clock::now() + aTimeout;
        do {
            for (const auto& line : LogLines())
                if (line == aMessage)
                    return true;
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    std::string Output() const
    {
        std::ifstream in(Root / "output.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    // In the build tree, on the program's file system, so the program can
    // be hard-linked in; never in the work tree, whatever the current
    // folder.
    TScratchFolder FRoot{"qm-app", fs::path(QUILLMAR_CLIENT_PATH).parent_path().parent_path() / "sandbox"};
    std::unique_ptr<TScratchFolder> FRuntime;

public:
    const fs::path Root = FRoot.Path();
    fs::path Runtime;

private:
    std::vector<pid_t> FChildren;
};

// Every run's first lines, up to the single-instance check, then aRest.
std::vector<std::string> Started(std::vector<std::string> aRest)
{
    std::vector<std::string> lines = {kSeparator, "Log 启动", "程序启动", "程序初始化(应用、应用标题和应用风格等)",
                                      "程序检测是否已经有实例在运行"};
    lines.insert(lines.end(), aRest.begin(), aRest.end());
    return lines;
}

std::string Joined(const std::vector<std::string>& aLines)
{
    std::string text;
    for (const auto& line : aLines)
        text += line + "\n";
    return text;
}

TEST(EntrySequenceTest, NormalRunLogsEveryPhaseAndStopsOnTerm)
{
    TSandbox sandbox;
    const pid_t pid = sandbox.Start({});
    ASSERT_TRUE(sandbox.WaitForLine("主窗口已显示")) << Joined(sandbox.LogLines()) << sandbox.Output();
    ::kill(pid, SIGTERM);
    EXPECT_EQ(TSandbox::WaitExit(pid), 0) << sandbox.Output();
    EXPECT_EQ(sandbox.LogLines(), Started({
                                      "程序运行循环执行前 初始化",
                                      "业务层初始化",
                                      "Business.ServerDriver 初始化",
                                      "展现层初始化",
                                      "主窗体初始化",
                                      "设置程序标题 Quillmar客户端V4.0.0",
                                      "应用程序升级测试...",
                                      "主窗口已显示",
                                      "程序收到信号 15，退出消息循环",
                                      "程序运行循环执行后 反初始化",
                                      "展现层反初始化",
                                      "业务层反初始化",
                                      "Business.ServerDriver 反初始化",
                                      "取消 可能存在的收发信动作",
                                      "通知 邮件发送接收调度执行器 终止",
                                      "通知 邮件发送接收调度线程 终止",
                                      "Business.ServerDriver 析构",
                                      "程序结束",
                                      "Log 结束",
                                  }))
        << sandbox.Output();
}

TEST(EntrySequenceTest, SecondInstanceHandsOverAndBuildsNothing)
{
    TSandbox first;
    const pid_t running = first.Start({});
    ASSERT_TRUE(first.WaitForLine("主窗口已显示")) << first.Output();

    TSandbox second(first.Runtime);
    EXPECT_EQ(TSandbox::WaitExit(second.Start({}), 20s), 0) << second.Output();
    EXPECT_EQ(second.LogLines(), Started({
                                     "程序检测到已经有实例在运行，显示之",
                                     "程序结束",
                                     "程序结束",
                                     "Log 结束",
                                 }))
        << second.Output();
    EXPECT_TRUE(first.WaitForLine("程序收到另一实例的显示请求，显示主窗口")) << Joined(first.LogLines());

    ::kill(running, SIGTERM);
    EXPECT_EQ(TSandbox::WaitExit(running), 0) << first.Output();
}

// Two schedulers on one data folder could send a mail twice: the client
// and the command-line tool keep each other out.
TEST(EntrySequenceTest, TheClientAndTheCommandLineToolNeverRunTogether)
{
    TSandbox client;
    const pid_t running = client.Start({});
    ASSERT_TRUE(client.WaitForLine("主窗口已显示")) << client.Output();
    TSandbox tool(client.Runtime);
    EXPECT_EQ(TSandbox::WaitExit(tool.Start({"accounts"}, {}, "quillmar-cli"), 20s), 75) << tool.Output();
    EXPECT_NE(tool.Output().find("quillmar-cli: Quillmar is in use by quillmar (pid"), std::string::npos)
        << tool.Output();
    ::kill(running, SIGTERM);
    EXPECT_EQ(TSandbox::WaitExit(running), 0) << client.Output();

    {
        // The lock as the tool holds it for the length of a long verb.
        const fs::path lock = client.Runtime / "quillmar.lock";
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        const std::string holder = "quillmar-cli (pid 4242)\n";
        ASSERT_EQ(::ftruncate(fd, 0), 0);
        ASSERT_EQ(::pwrite(fd, holder.data(), holder.size(), 0), static_cast<ssize_t>(holder.size()));
        TSandbox second(client.Runtime);
        EXPECT_EQ(TSandbox::WaitExit(second.Start({}), 20s), 75) << second.Output();
        EXPECT_NE(second.Output().find("quillmar-cli (pid 4242)"), std::string::npos) << second.Output();
        ::close(fd);
    }
    TSandbox free(client.Runtime);
    EXPECT_EQ(TSandbox::WaitExit(free.Start({"accounts", "--json"}, {}, "quillmar-cli"), 20s), 0) << free.Output();
    EXPECT_NE(free.Output().find("[]"), std::string::npos) << free.Output();
}

TEST(EntrySequenceTest, ClearAllDataRemovesTheDataItemsOnly)
{
    struct TCase {
        const char* Switch;
        bool ThroughEnvironment;   // data folder named by QMC2FOLDER
    } cases[] = {{"-ClearAllData", true}, {"/clearalldata", false}, {"-CLEARALLDATA", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Switch);
        TSandbox sandbox;
        const fs::path data = c.ThroughEnvironment ? sandbox.Root / "mydata" : sandbox.DefaultDataFolder();
        for (const char* item : {"Accounts/Accounts.db", "Temp/(1)/x", "4.0.1", "mine.txt"}) {
            fs::create_directories((data / item).parent_path());
            std::ofstream(data / item) << "x";
        }
        std::map<std::string, std::string> env;
        if (c.ThroughEnvironment)
            env["QMC2FOLDER"] = data.string();
        EXPECT_EQ(TSandbox::WaitExit(sandbox.Start({c.Switch}, env), 20s), 0) << sandbox.Output();

        EXPECT_EQ(sandbox.LogLines(), Started({
                                          "程序运行循环执行前 初始化",
                                          "程序检测到命令行参数 \"ClearAllData\"",
                                          "清除数据文件夹 " + data.string(),
                                          "已删除 " + (data / "Accounts").string(),
                                          "已删除 " + (data / "Temp").string(),
                                          "已删除 " + (data / "4.0.1").string(),
                                          // made by the configuration's first load
                                          "已删除 " + (data / "QuillmarClient.cfg").string(),
                                          "已删除 " + (data / "QuillmarClient.cfg.lock").string(),
                                          "程序结束",
                                          "程序结束",
                                          "Log 结束",
                                      }))
            << sandbox.Output();
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(data))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"mine.txt"});
    }
}

TEST(EntrySequenceTest, LogSwitchesOverrideTheConfiguration)
{
    {
        TSandbox off;
        EXPECT_EQ(TSandbox::WaitExit(off.Start({"-LogToMode:Null", "-ClearAllData"}), 20s), 0) << off.Output();
        EXPECT_FALSE(fs::exists(off.Prog() / "Log"));
    }
    {
        TSandbox errorsOnly;
        EXPECT_EQ(TSandbox::WaitExit(errorsOnly.Start({"-ClearAllData", "/logoutlevel", "Error"}), 20s), 0);
        EXPECT_EQ(errorsOnly.LogLines(), (std::vector<std::string>{kSeparator, "Log 启动", "Log 结束"}));
    }
    {
        // Not a level: the file's Info stays in force.
        TSandbox unknown;
        EXPECT_EQ(TSandbox::WaitExit(unknown.Start({"-LogOutLevel=Verbose", "-ClearAllData"}), 20s), 0);
        const auto lines = unknown.LogLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "程序启动"), lines.end()) << Joined(lines);
    }
}

// A newer version published on the update server is handed to the
// configured updater, which runs with its hand-over file, and the client
// ends; a package whose checksum is wrong is never handed over.
TEST(EntrySequenceTest, ANewerVersionGoesToTheConfiguredUpdater)
{
    TFakeMakerServer* server = TFakeServerEnvironment::Server();
    for (const bool goodChecksum : {false, true}) {
        SCOPED_TRACE(goodChecksum ? "checksum right" : "checksum wrong");
        server->Reset();
        TSandbox sandbox;
        const fs::path updater = sandbox.Prog() / "updater.sh";
        std::ofstream(updater) << "#!/bin/sh\ncp \"$1\" \"$1.seen\"\n";
        fs::permissions(updater, fs::perms::owner_all);
        sandbox.WriteConfig("[Log]\nLogToMode=File\nLogOutLevel=Info\n[Application]\nVersion=v4.0.0 Build 1203\n"
                            "Updater=updater.sh\n[NorvelServer]\nAppUpdateServerUrl=" +
                            server->BaseUrl() + "\n");
        const std::string package = server->StoreFile("package");
        const std::string sha =
            goodChecksum ? "bc4a71180870f7945155fbb02f4b0a2e3faa2a62d6d31b7039013055ed19869a" : std::string(64, 'a');
        server->Script("/Update/info.json",
                       {TScriptedReply::Text(R"({"VersionList": [{"Version": "v4.0.1 Build 1300", "ShortDescribe": )"
                                             R"("新版", "SetupUrl": ")" + package + R"(", "SHA256": ")" + sha +
                                             R"("}]})")});
        const pid_t pid = sandbox.Start({});
        const fs::path handOver = sandbox.DefaultDataFolder() / "Update" / "AppUpgrade.json";
        if (goodChecksum) {
            EXPECT_EQ(TSandbox::WaitExit(pid), 0) << Joined(sandbox.LogLines()) << sandbox.Output();
            EXPECT_TRUE(sandbox.WaitForLine("发现新版本(v4.0.1 Build 1300)。", 1s));
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (!fs::exists(handOver.string() + ".seen") && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(20ms);
            ASSERT_TRUE(fs::exists(handOver.string() + ".seen")) << Joined(sandbox.LogLines());
            std::ifstream in(handOver.string() + ".seen");
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_NE(text.find(server->BaseUrl() + "Update/Install/" + package), std::string::npos) << text;
            EXPECT_NE(text.find("\\u65b0\\u7248"), std::string::npos) << text;
        } else {
            ASSERT_TRUE(sandbox.WaitForLine("主窗口已显示")) << Joined(sandbox.LogLines());
            EXPECT_TRUE(sandbox.WaitForLine("升级安装包校验失败：" + server->BaseUrl() + "Update/Install/" + package))
                << Joined(sandbox.LogLines());
            ::kill(pid, SIGTERM);
            EXPECT_EQ(TSandbox::WaitExit(pid), 0);
            EXPECT_FALSE(fs::exists(handOver));
            EXPECT_FALSE(fs::exists(sandbox.DefaultDataFolder() / "Update" / "Install" / package));
        }
    }
}

} // namespace
